#include "generate/FunnelTokens.h"
#include "platform/KelvrinTools.h"

#include <QSet>
#include <QTest>

namespace {

const QList<int> kAllSlots{0, 1, 2, 3, 4};

QString letters(int n, char c = 'a') {
    return QString(n, QLatin1Char(c));
}

} // namespace

class tst_FunnelTokens : public QObject {
    Q_OBJECT

private slots:
    void wellFormedTokens_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("wellFormed");
        QTest::newRow("20 letters") << "sp" + letters(20) << "sp" << true;
        QTest::newRow("19 letters") << "sp" + letters(19) << "sp" << false;
        QTest::newRow("64 letters") << "dld" + letters(64, '7') << "dld" << true;
        QTest::newRow("65 letters") << "dld" + letters(65, '7') << "dld" << false;
        QTest::newRow("old number") << "sp1375"
                                    << "sp" << false;
        QTest::newRow("upper case") << "sp" + letters(23) + "A"
                                    << "sp" << false;
        QTest::newRow("other prefix") << "dld" + letters(24) << "sp" << false;
        QTest::newRow("trailing newline") << "sp" + letters(24) + "\n"
                                          << "sp" << false;
        QTest::newRow("underscore") << "sp" + letters(23) + "_"
                                    << "sp" << false;
        QTest::newRow("empty") << QString() << "sp" << false;
    }
    void wellFormedTokens() {
        QFETCH(QString, token);
        QFETCH(QString, prefix);
        QFETCH(bool, wellFormed);
        QCOMPARE(IsWellFormedToken(token, prefix), wellFormed);
    }

    // A thousand five-item plugins from the system's generator: never a repeated token, in one
    // plugin or across all of them.
    void systemTokensNeverRepeat() {
        KelvrinTools tools;
        QSet<QString> seen;
        for (int build = 0; build < 1000; ++build) {
            const FunnelTokens tokens = AssignTokens(kAllSlots, {}, tools);
            QCOMPARE(TokenWeakness(tokens), QString());
            for (int n : kAllSlots) {
                QVERIFY(IsWellFormedToken(tokens.sales[size_t(n)], "sp"));
                QVERIFY(IsWellFormedToken(tokens.download[size_t(n)], "dld"));
                QCOMPARE(tokens.sales[size_t(n)].size(), 2 + kTokenRandomLength);
                seen << tokens.sales[size_t(n)] << tokens.download[size_t(n)];
            }
        }
        QCOMPARE(seen.size(), 10000);
    }

    // Under a seed the draws come in slot order, the sales token before the download token.
    void seededDrawsComeInSlotOrder() {
        KelvrinTools tools(7), replay(7);
        const FunnelTokens tokens = AssignTokens({0, 2, 4}, {}, tools);
        for (int n : {0, 2, 4}) {
            QCOMPARE(tokens.sales[size_t(n)], "sp" + replay.RandomLetters(kTokenRandomLength));
            QCOMPARE(tokens.download[size_t(n)], "dld" + replay.RandomLetters(kTokenRandomLength));
        }
        for (int n : {1, 3}) {
            QVERIFY(tokens.sales[size_t(n)].isEmpty());
            QVERIFY(tokens.download[size_t(n)].isEmpty());
        }
    }

    void earlierTokensAreKeptWhenSound() {
        FunnelTokens earlier;
        earlier.sales[0] = "sp" + letters(24, 'k');
        earlier.download[0] = "dld" + letters(24, 'k');
        earlier.sales[1] = "sp1375";                // an old, guessable token
        earlier.download[1] = earlier.download[0];  // the same address twice
        earlier.sales[3] = "sp" + letters(24, 'z'); // a slot no longer in the funnel
        KelvrinTools tools(11), replay(11);
        const FunnelTokens tokens = AssignTokens({0, 1}, earlier, tools);
        QCOMPARE(tokens.sales[0], earlier.sales[0]);
        QCOMPARE(tokens.download[0], earlier.download[0]);
        QCOMPARE(tokens.sales[1], "sp" + replay.RandomLetters(kTokenRandomLength));
        QCOMPARE(tokens.download[1], "dld" + replay.RandomLetters(kTokenRandomLength));
        QVERIFY(tokens.sales[3].isEmpty());
    }

    // A fresh draw whose random part a token already given out has is drawn again, whatever the
    // prefixes.
    void aDrawThatCollidesIsDrawnAgain_data() {
        QTest::addColumn<bool>("asDownload");
        QTest::newRow("same token") << false;
        QTest::newRow("same random part") << true;
    }
    void aDrawThatCollidesIsDrawnAgain() {
        QFETCH(bool, asDownload);
        KelvrinTools peek(5);
        const QString first = peek.RandomLetters(kTokenRandomLength);
        const QString second = peek.RandomLetters(kTokenRandomLength);
        FunnelTokens earlier;
        if (asDownload)
            earlier.download[1] = "dld" + first;
        else
            earlier.sales[1] = "sp" + first;
        KelvrinTools tools(5);
        const FunnelTokens tokens = AssignTokens({0, 1}, earlier, tools);
        QCOMPARE(asDownload ? tokens.download[1] : tokens.sales[1], (asDownload ? "dld" : "sp") + first);
        QCOMPARE(tokens.sales[0], "sp" + second);
    }
};

QTEST_APPLESS_MAIN(tst_FunnelTokens)
#include "tst_funneltokens.moc"
