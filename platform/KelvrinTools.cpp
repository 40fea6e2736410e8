#include "platform/KelvrinTools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

KelvrinTools::KelvrinTools()
    : m_random(QRandomGenerator::securelySeeded()) {}

KelvrinTools::KelvrinTools(quint32 seed)
    : m_random(seed) {}

bool KelvrinTools::PathExists(const QString& path, bool isFolder) {
    const QFileInfo info(path);
    return isFolder ? info.isDir() : info.isFile();
}

void KelvrinTools::Wait(int milliseconds) {
    if (!QCoreApplication::instance())
        return;
    const QDeadlineTimer deadline(milliseconds);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(deadline.remainingTime()));
    } while (!deadline.hasExpired());
}

int KelvrinTools::RandomNumber(int upperBound) {
    return int(m_random.bounded(upperBound + 1));
}

QString KelvrinTools::FormatName(const QString& name) {
    QString result = name.toLower();
    bool startOfWord = true;
    for (QChar& c : result) {
        if (c.isSpace()) {
            startOfWord = true;
        } else {
            if (startOfWord)
                c = c.toUpper();
            startOfWord = false;
        }
    }
    return result;
}
