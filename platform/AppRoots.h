#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// Where the program's folders lie. A single folder holds everything when the program runs from
// its build folder or a portable copy (and in every test); an installed program reads its
// shipped data from a read-only folder and keeps the user's data in the user's own folders.
// Code asks this object for a root instead of composing paths from one folder.
class AppRoots {
public:
    // One folder for everything. Deliberately implicit: a folder path is a complete answer.
    AppRoots(const QString& singleFolder);
    // Shipped data read from `shipped`; the user's products below `dataHome`/veltrano, the work
    // area below `cacheHome`/veltrano, the archives in `documents`/Veltrano.
    static AppRoots Installed(const QString& shipped, const QString& dataHome, const QString& cacheHome,
                              const QString& documents);
    // The roots for a program whose executable lies in `executableFolder`: that folder alone
    // when it holds the portable marker; else the shipped data beside it or in `installedData`,
    // and the user's data and cache homes and documents folder. A layout that cannot work (a
    // portable folder lacking a part, no home folder) gives roots whose Problem() says why.
    static AppRoots ForExecutable(const QString& executableFolder, const QString& installedData);
    // The file that makes a folder a portable copy: everything stays in that folder.
    static constexpr const char* PortableMarker = "portable.txt";

    bool IsSingleFolder() const { return m_single; }
    // Holds productspro, templates and plugintemplate; never written.
    const QString& Shipped() const { return m_shipped; }
    const QString& MyProducts() const { return m_myProducts; }
    // The work area ("temp"), rebuilt by every build.
    const QString& WorkArea() const { return m_workArea; }
    // Receives the plugin folders and the finished archives.
    const QString& Output() const { return m_output; }
    // Where a portable copy keeps its settings, in its own folder; empty for an installed
    // program, whose settings go where the system keeps the user's.
    QString SettingsFile() const;
    // The settings to keep the window's choices in: the portable copy's file, or the system's
    // place for the user's when installed. Null when the portable file can't be kept safely: a
    // link is never written through (its target would be replaced), nor anything but a file.
    std::unique_ptr<QSettings> OpenSettings() const;
    // The folders the program writes below; nothing outside them is ever removed.
    const QStringList& WritableRoots() const { return m_writableRoots; }

    // Empty when the roots can be used, else why not, in words for the user.
    const QString& Problem() const { return m_problem; }

    // True when `folder` holds the shipped data.
    static bool HoldsShippedData(const QString& folder);
    // The same roots for a run whose archives are moved elsewhere when complete: they are then
    // made in the work area, so no archive in the output folder is replaced and an installed
    // program never makes its documents folder.
    AppRoots WithStagedOutput() const;
    // Empty when `folder` may receive archives, else why not: no folder of the program's own
    // (shipped data, products, work area) may, after resolving links, apart from the output.
    QString OutputFolderProblem(const QString& folder) const;
    // Makes the user's folders of an installed program on first use: the work area (only the
    // user may write there), the output folder and the products folder with the demo product
    // copied in. A single folder is left as it is. Returns Problem(), what could not be made,
    // or empty text.
    QString PrepareUserFolders() const;

private:
    AppRoots() = default;

    bool m_single = true;
    QString m_shipped;
    QString m_myProducts;
    QString m_workArea;
    QString m_output;
    QStringList m_writableRoots;
    QString m_problem;
};
