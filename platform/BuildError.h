#pragma once

#include <QString>
#include <stdexcept>

// The one error type of a plugin build: a number the user can quote and a description that
// names the path or the step that failed. The numbers follow the classic run-time error codes
// so that a support conversation can refer to them.
class BuildError : public std::runtime_error {
public:
    enum Number {
        FileNotFound = 53,
        FileAlreadyOpen = 55,
        DiskFull = 61,
        PermissionDenied = 70,
        PathFileAccess = 75,
        PathNotFound = 76,
        InvalidInput = 5,
    };

    BuildError(int number, const QString& description)
        : std::runtime_error(description.toStdString())
        , m_number(number)
        , m_description(description) {}

    int number() const { return m_number; }
    const QString& description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};
