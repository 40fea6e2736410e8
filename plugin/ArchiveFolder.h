#pragma once

#include <QString>

struct PathRules;

// A folder of the user's that receives finished archives in place of the output folder
// (`build --output DIR`). The archive is made in the program's own work area and moved there when
// complete, so the output folder and its archives are never touched.
namespace ArchiveFolder {

// Empty when `folder` (which exists) can take the archive `fileName`, else why not, naming the
// folder: it must take new files, and the longest path written there must fit the system's limit
// (`rules`: on Windows 260 characters, also where the system would take a longer one, since
// other programs would not open it). Asked before anything is written.
QString Problem(const QString& folder, const QString& fileName, const PathRules& rules);

// Moves the complete `archive` into `folder`, replacing an archive of the same name there only
// once the new one is complete beside it. Returns the new path; throws BuildError.
QString MoveInto(const QString& archive, const QString& folder);

} // namespace ArchiveFolder
