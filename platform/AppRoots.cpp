#include "platform/AppRoots.h"

#include "platform/BuildError.h"
#include "platform/KelvrinFile.h"

#include <QDir>
#include <QFileInfo>
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

bool AppRoots::HoldsShippedData(const QString& folder) {
    for (const char* part : {"productspro", "templates", "plugintemplate"})
        if (!QFileInfo(folder + QLatin1Char('/') + QLatin1String(part)).isDir())
            return false;
    return true;
}

AppRoots AppRoots::ForExecutable(const QString& executableFolder, const QString& installedData) {
    const bool beside = HoldsShippedData(executableFolder);
    if (beside && QFileInfo(executableFolder).isWritable())
        return AppRoots(executableFolder);
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    return Installed(beside ? executableFolder : installedData,
                     QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                     QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation), documents);
}

QString AppRoots::PrepareUserFolders() const {
    if (m_single)
        return {};
    // Each folder is tried on its own: one that cannot be made does not stop the others.
    QStringList missing;
    for (const QString& folder : {m_workArea, m_output})
        if (!QDir().mkpath(folder))
            missing << folder;
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
    if (missing.isEmpty())
        return {};
    return QStringLiteral("Veltrano could not create its folders:\n%1\n\nPlugins cannot be built until "
                          "they can be created.")
        .arg(missing.join(QLatin1Char('\n')));
}
