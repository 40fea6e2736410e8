#pragma once

#include <QString>

#include <filesystem>

// How one system spells and compares paths. Windows takes "\" as a separator as well as "/" and
// does not tell upper from lower case; POSIX systems take "\" as a character of a name and tell
// case. The comparisons work on text only: callers resolve links and relative paths first.
struct PathRules {
    Qt::CaseSensitivity caseSensitivity;
    bool backslashSeparates;
    // The longest path, in UTF-16 units, that the system's file calls take without long-path
    // support (Windows' MAX_PATH less its terminating NUL), or 0 where no such limit bites.
    int longestPath = 0;

    static PathRules Posix();
    static PathRules Windows();
    // The rules of the system the program runs on.
    static PathRules Native();

    bool IsSeparator(QChar c) const;
    // "/" for every separator, "." and ".." resolved, no trailing separator but on a root.
    QString Normalised(const QString& path) const;
    // True when `path` is `folder` or lies below it; a sibling whose name only begins with the
    // folder's name is not below it.
    bool IsSameOrBelow(const QString& path, const QString& folder) const;
};

// `path` for the C++ file system library, which takes UTF-16 on Windows and UTF-8 elsewhere; a
// narrow string would go through Windows' ANSI code page, which cannot hold every name.
std::filesystem::path FileSystemPath(const QString& path);
