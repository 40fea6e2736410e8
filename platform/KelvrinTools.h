#pragma once

#include <QRandomGenerator>
#include <QString>

class KelvrinTools {
public:
    // A fresh generator seeded from the system; tests pass a seed to replay a sequence.
    KelvrinTools();
    explicit KelvrinTools(quint32 seed);

    static bool PathExists(const QString& path, bool isFolder);
    // Lets pending events run for `milliseconds`; nothing waits on it to finish work.
    static void Wait(int milliseconds);
    // A whole number from 0 to `upperBound`, both included.
    int RandomNumber(int upperBound);
    // `length` lowercase letters and digits from the system's cryptographic generator; a seeded
    // instance draws them from its seed instead, so tests can replay them.
    QString RandomLetters(int length);
    // Title case of every word; changes letter case only, so the display name maps back.
    static QString FormatName(const QString& name);

private:
    QRandomGenerator m_random;
    bool m_seeded = false;
};
