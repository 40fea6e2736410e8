#pragma once

#include <QString>

// Facts about the user running the program that the system, not Qt, knows.
namespace UserAccount {

// The user's home folder: $HOME when it names an existing folder, else the home the system's
// user database gives when that exists, else empty text. Never the file system's root by
// accident of an unset variable.
QString HomeFolder();

// Empty when `folder` belongs to the user running the program and no one else may write to it;
// else the reason, in a sentence. Where the system has no such owners, always empty.
QString PrivateFolderProblem(const QString& folder);

// Makes `folder` (with its parents) so that only its owner may enter it. True when it exists
// as a folder afterwards.
bool MakePrivateFolder(const QString& folder);

} // namespace UserAccount
