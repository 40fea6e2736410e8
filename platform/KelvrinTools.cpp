#include "platform/KelvrinTools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <algorithm>

KelvrinTools::KelvrinTools()
    : m_random(QRandomGenerator::securelySeeded()) {}

KelvrinTools::KelvrinTools(quint32 seed)
    : m_random(seed)
    , m_seeded(true) {}

bool KelvrinTools::PathExists(const QString& path, bool isFolder) {
    const QFileInfo info(path);
    return isFolder ? info.isDir() : info.isFile();
}

void KelvrinTools::Wait(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        // Sleep between rounds instead of spinning the processor.
        QThread::msleep(std::min<qint64>(5, std::max<qint64>(1, deadline.remainingTime())));
    }
}

int KelvrinTools::RandomNumber(int upperBound) {
    return int(m_random.bounded(upperBound + 1));
}

QString KelvrinTools::RandomLetters(int length) {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QRandomGenerator& source = m_seeded ? m_random : *QRandomGenerator::system();
    QString letters(length, Qt::Uninitialized);
    for (QChar& c : letters)
        c = QLatin1Char(kAlphabet[source.bounded(quint32(sizeof kAlphabet - 1))]);
    return letters;
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
