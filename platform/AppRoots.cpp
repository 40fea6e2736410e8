#include "platform/AppRoots.h"

#include "platform/BuildError.h"
#include "platform/KelvrinFile.h"
#include "platform/PathRules.h"
#include "platform/UserAccount.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

AppRoots::AppRoots(const QString& singleFolder)
    : m_shipped(singleFolder)
    , m_myProducts(singleFolder + QStringLiteral("/myproducts"))
    , m_workArea(singleFolder + QStringLiteral("/temp"))
    , m_output(singleFolder + QStringLiteral("/output"))
    , m_writableRoots{singleFolder} {}

AppRoots AppRoots::Installed(const QString& shipped, const QString& dataHome, const QString& cacheHome,
                             const QString& documents) {
    AppRoots roots;
    roots.m_single = false;
    roots.m_shipped = shipped;
    const QString data = dataHome + QStringLiteral("/veltrano");
    const QString cache = cacheHome + QStringLiteral("/veltrano");
    roots.m_myProducts = data + QStringLiteral("/myproducts");
    roots.m_workArea = cache + QStringLiteral("/temp");
    roots.m_output = documents + QStringLiteral("/Veltrano");
    roots.m_writableRoots = {data, cache, roots.m_output};
    return roots;
}

namespace {

const char* const kShippedParts[] = {"productspro", "templates", "plugintemplate"};

QStringList missingShippedParts(const QString& folder) {
    QStringList missing;
    for (const char* part : kShippedParts)
        if (!QFileInfo(folder + QLatin1Char('/') + QLatin1String(part)).isDir())
            missing << QLatin1String(part);
    return missing;
}

// `path` with every link resolved, also when its last parts do not exist yet.
QString resolved(const QString& path) {
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (!QFileInfo::exists(existing)) {
        const QFileInfo info(existing);
        if (info.path() == existing)
            break;
        rest = info.fileName() + (rest.isEmpty() ? QString() : QLatin1Char('/') + rest);
        existing = info.path();
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    const QString base = canonical.isEmpty() ? existing : canonical;
    return rest.isEmpty() ? base : QDir::cleanPath(base + QLatin1Char('/') + rest);
}

// Compared as the system compares paths (on Windows without regard to case), links resolved.
bool isSameOrInside(const QString& path, const QString& folder) {
    return PathRules::Native().IsSameOrBelow(resolved(path), resolved(folder));
}

} // namespace

bool AppRoots::HoldsShippedData(const QString& folder) {
    return missingShippedParts(folder).isEmpty();
}

AppRoots AppRoots::ForExecutable(const QString& executableFolder, const QString& installedData) {
    if (QFileInfo(executableFolder + QLatin1Char('/') + QLatin1String(PortableMarker)).isFile()) {
        AppRoots roots(executableFolder);
        if (const QStringList missing = missingShippedParts(executableFolder); !missing.isEmpty())
            roots.m_problem = QStringLiteral("This copy of Veltrano is incomplete: the folder %1 is missing "
                                             "in %2. Copy the whole program folder again.")
                                  .arg(missing.join(QStringLiteral(", ")), executableFolder);
        else if (!QFileInfo(executableFolder).isWritable())
            roots.m_problem = QStringLiteral("Veltrano keeps its work in its own folder %1, but that folder "
                                             "cannot be written. Copy the program to a folder of yours.")
                                  .arg(executableFolder);
        return roots;
    }

    const QString shipped = HoldsShippedData(executableFolder) ? executableFolder : installedData;
    const QString home = UserAccount::HomeFolder();
    // Qt forms the standard folders from HOME: an unset or stale one is replaced by the real home.
    if (!home.isEmpty() && QDir::cleanPath(qEnvironmentVariable("HOME")) != home)
        qputenv("HOME", QFile::encodeName(home));
    // The XDG base directory rules take a relative path in these for invalid, to be ignored: it
    // would put the user's data wherever the program happened to be started.
    for (const char* variable : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        if (!QDir::isAbsolutePath(qEnvironmentVariable(variable)))
            qunsetenv(variable);
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = home + QStringLiteral("/Documents");
    AppRoots roots =
        Installed(shipped, QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                  QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), documents);
    if (const QStringList missing = missingShippedParts(shipped); !missing.isEmpty())
        roots.m_problem = QStringLiteral("Veltrano's installation is incomplete: the folder %1 is missing in "
                                         "%2. Install the program again.")
                              .arg(missing.join(QStringLiteral(", ")), shipped);
    else if (home.isEmpty())
        roots.m_problem = QStringLiteral("Veltrano cannot find your home folder, where it keeps your "
                                         "products and plugins: HOME is not set to an existing folder.");
    return roots;
}

QString AppRoots::SettingsFile() const {
    return m_single ? m_shipped + QStringLiteral("/veltrano.ini") : QString();
}

std::unique_ptr<QSettings> AppRoots::OpenSettings() const {
    const QString file = SettingsFile();
    if (file.isEmpty())
        return std::make_unique<QSettings>();
    const QFileInfo info(file);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return nullptr;
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

AppRoots AppRoots::WithStagedOutput() const {
    AppRoots roots = *this;
    // The work area is the program's own: the output folder's archives stay as they are.
    roots.m_output = m_workArea;
    if (!m_single)
        roots.m_writableRoots.removeAll(m_output);
    return roots;
}

QString AppRoots::OutputFolderProblem(const QString& folder) const {
    if (isSameOrInside(folder, m_output))
        return {};
    QStringList own{m_shipped, m_myProducts, m_workArea};
    if (!m_single)
        own << QFileInfo(m_workArea).path();
    for (const QString& root : std::as_const(own))
        if (isSameOrInside(folder, root))
            return QStringLiteral("The archives cannot go to %1: it lies in Veltrano's own folder %2, "
                                  "whose contents become part of the plugins or are removed by the next "
                                  "build. Choose a folder of your own.")
                .arg(folder, root);
    return {};
}

QString AppRoots::PrepareUserFolders() const {
    if (!m_problem.isEmpty())
        return m_problem;
    if (m_single)
        return {};
    // Each folder is tried on its own: one that cannot be made does not stop the others.
    QStringList missing;
    QString unsafe;
    // Whoever may write where plugins are assembled could change them before they are packed.
    const QString workRoot = QFileInfo(m_workArea).path();
    if (!UserAccount::MakePrivateFolder(workRoot) || !QDir().mkpath(m_workArea))
        missing << m_workArea;
    else
        for (const QString& folder : {workRoot, m_workArea})
            if (const QString problem = UserAccount::PrivateFolderProblem(folder);
                !problem.isEmpty() && unsafe.isEmpty())
                unsafe = QStringLiteral(
                             "Veltrano does not build plugins in %1: %2 Remove it, or set XDG_CACHE_HOME "
                             "to a folder of your own.")
                             .arg(m_workArea, problem);
    if (!QDir().mkpath(m_output))
        missing << m_output;
    if (!QFileInfo(m_myProducts).isDir()) {
        const QString demo = m_myProducts + QStringLiteral("/demo-product");
        if (!QDir().mkpath(demo)) {
            missing << m_myProducts;
        } else {
            try {
                // The demo product shows how a product folder is laid out.
                KelvrinFile::CopyFolder(m_shipped + QStringLiteral("/myproducts/demo-product"), demo);
            } catch (const BuildError&) {
                missing << demo;
            }
        }
    }
    if (!unsafe.isEmpty())
        return unsafe;
    if (missing.isEmpty())
        return {};
    return QStringLiteral("Veltrano could not create its folders:\n%1\n\nPlugins cannot be built until "
                          "they can be created.")
        .arg(missing.join(QLatin1Char('\n')));
}
