#include "generate/SalesCopyStart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Expected block markup is written out here by hand, not rebuilt with the code under test.
class tst_SalesCopyStart : public QObject {
    Q_OBJECT

private slots:
    void fromPreviewHtml_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a page laid out like the shipped ones")
            << "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Kit</title></head>\n"
               "<body style=\"margin:0\"><table width=\"100%\"><tr><td>\n"
               "  <img src=\"salespage.gif\" width=\"600\" height=\"300\" alt=\"Kit\">\n"
               "  <h1 style=\"text-align:center; color:#4527a0;\">Build   a\n   kit</h1>\n"
               "  <p style=\"font-size:12pt;\">First paragraph.</p>\n"
               "  <p style=\"font-size:12pt; font-weight:bold;\">Inside you will find:</p>\n"
               "  <ul style=\"margin-top:4px\">\n"
               "    <li style=\"margin-bottom:8px;\">One</li>\n"
               "    <li>Two</li>\n"
               "  </ul>\n"
               "</td></tr><tr><td><table bgcolor=\"#f5f7f8\"><tr><td>\n"
               "  <p>One payment of <span style=\"font-weight:bold\">$67</span></p>\n"
               "</td></tr></table><table><tr><td><a href=\"#buy\">Buy now</a></td></tr></table>\n"
               "  <p style=\"font-size:9pt\">Secure checkout.</p>\n"
               "</td></tr></table></body></html>\n"
            << "<!-- wp:heading -->\n<h2>Build a kit</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p>First paragraph.</p>\n<!-- /wp:paragraph -->\n\n"
               "<!-- wp:paragraph -->\n<p><strong>Inside you will find:</strong></p>\n<!-- /wp:paragraph "
               "-->\n\n"
               "<!-- wp:list -->\n<ul><!-- wp:list-item -->\n<li>One</li>\n<!-- /wp:list-item -->\n\n"
               "<!-- wp:list-item -->\n<li>Two</li>\n<!-- /wp:list-item --></ul>\n<!-- /wp:list -->\n";
        QTest::newRow("entities decoded, then escaped once")
            << "<h1>Tom &amp; Jerry&#39;s &lt;b&gt; &#x2014; &copy;</h1>"
               "<p>5 &gt; 3 &unknown; A&B &#0; &#99999999;</p>"
            << "<!-- wp:heading -->\n<h2>Tom &amp; Jerry's &lt;b&gt; \u2014 \u00a9</h2>\n<!-- /wp:heading "
               "-->\n\n"
               "<!-- wp:paragraph -->\n<p>5 &gt; 3 &amp;unknown; A&amp;B \ufffd \ufffd</p>\n"
               "<!-- /wp:paragraph -->\n";
        QTest::newRow("attributes dropped, a few inline tags kept")
            << "<h1 class=big id='t'>T</h1>"
               "<p style=\"color:red\" onclick=\"alert('>')\">a <b class=y>bold</b> and <i>it</i><br/> next "
               "<span style=\"color:blue\">plain</span> <a href=\"https://example.com\">link</a>"
               "<img src=\"other.png\"> <font color=red><EM>em</EM></font> <STRONG>s</STRONG></p>"
            << "<!-- wp:heading -->\n<h2>T</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p>a <strong>bold</strong> and <em>it</em><br>next plain link "
               "<em>em</em> <strong>s</strong></p>\n<!-- /wp:paragraph -->\n";
        QTest::newRow("inline tags closed where the page left them open")
            << "<h1>T</h1><p><b>a <i>b</b> c</i></p><p style='font-weight: 700'>d <u>e</p><ul><li><b>f</ul>"
            << "<!-- wp:heading -->\n<h2>T</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p><strong>a <em>b</em></strong> c</p>\n<!-- /wp:paragraph -->\n\n"
               "<!-- wp:paragraph -->\n<p><strong>d e</strong></p>\n<!-- /wp:paragraph -->\n\n"
               "<!-- wp:list -->\n<ul><!-- wp:list-item -->\n<li><strong>f</strong></li>\n"
               "<!-- /wp:list-item --></ul>\n<!-- /wp:list -->\n";
        QTest::newRow("the copy ends at the first table after the heading")
            << "<h1>T</h1><p>a</p><table><tr><td><p>$67</p><ul><li>x</li></ul></td></tr></table><p>after</p>"
            << "<!-- wp:heading -->\n<h2>T</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p>a</p>\n<!-- /wp:paragraph -->\n";
        QTest::newRow("nothing before the heading is copy")
            << "<p>intro</p><ul><li>before</li></ul><img src=\"a.gif\"><h1>T</h1>"
            << "<!-- wp:heading -->\n<h2>T</h2>\n<!-- /wp:heading -->\n";
        QTest::newRow("unclosed elements, a nested list")
            << "<h1>T<p>one<p>two<ul><li>x<ul><li>y</ul><li>z</ul>"
            << "<!-- wp:heading -->\n<h2>T</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p>one</p>\n<!-- /wp:paragraph -->\n\n"
               "<!-- wp:paragraph -->\n<p>two</p>\n<!-- /wp:paragraph -->\n\n"
               "<!-- wp:list -->\n<ul><!-- wp:list-item -->\n<li>x</li>\n<!-- /wp:list-item -->\n\n"
               "<!-- wp:list-item -->\n<li>y</li>\n<!-- /wp:list-item -->\n\n"
               "<!-- wp:list-item -->\n<li>z</li>\n<!-- /wp:list-item --></ul>\n<!-- /wp:list -->\n";
        QTest::newRow("comments, scripts, other elements and empty blocks left out")
            << "<h1>T</h1><!-- <p>hidden</p> --><script>document.write('<p>x</p>')</script>"
               "<style>p{}</style><p> </p><div>in a div</div><h2>sub</h2><ul><li> </li></ul>"
               "<p>shown < 3</p>"
            << "<!-- wp:heading -->\n<h2>T</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p>shown &lt; 3</p>\n<!-- /wp:paragraph -->\n";
        QTest::newRow("a text that tries to end its block")
            << "<h1>--&gt;<!-- /wp:heading --></h1><p>&lt;!-- wp:html --&gt;<?php echo 1; ?></p>"
            << "<!-- wp:heading -->\n<h2>--&gt;</h2>\n<!-- /wp:heading -->\n\n"
               "<!-- wp:paragraph -->\n<p>&lt;!-- wp:html --&gt;</p>\n<!-- /wp:paragraph -->\n";

        const QString name = "<!-- wp:heading -->\n<h2>Tom &amp; Jerry &lt;3</h2>\n<!-- /wp:heading -->\n";
        QTest::newRow("empty page") << "" << name;
        QTest::newRow("no heading") << "<html><body><p>Copy</p><ul><li>x</li></ul></body></html>" << name;
        QTest::newRow("an empty heading and nothing else") << "<h1> <img src=a.gif> </h1>" << name;
        QTest::newRow("cut off inside the heading's tag") << "<p>x</p><h1 class=\"a" << name;
        QTest::newRow("no tags at all") << "Just text & more" << name;
        QTest::newRow("stray brackets") << "<<>> < h1>x</ h1> <1>" << name;
    }
    void fromPreviewHtml() {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        QCOMPARE(SalesCopyStart::FromPreviewHtml(html, "Tom & Jerry <3"), expected);
    }

    void pagesThatCantBeReadGiveTheName_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("custom product") << "" << QByteArray();
        QTest::newRow("missing page") << "missing/preview.html" << QByteArray();
        QTest::newRow("a folder") << "." << QByteArray();
        QTest::newRow("larger than any preview page")
            << "preview.html" << QByteArray("<h1>T</h1>") + QByteArray(1024 * 1024, ' ');
    }
    void pagesThatCantBeReadGiveTheName() {
        QFETCH(QString, page);
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = page.isEmpty() ? page : dir.filePath(page);
        if (!content.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QCOMPARE(SalesCopyStart::ForProduct("  My   Kit ", path),
                 QString("<!-- wp:heading -->\n<h2>My Kit</h2>\n<!-- /wp:heading -->\n"));
    }

    void shippedPreviewPages_data() {
        QTest::addColumn<QString>("page");
        const QDir products(QStringLiteral(VELTRANO_DATA_DIR "/productspro"));
        const QStringList folders = products.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 20);
        for (const QString& folder : folders)
            QTest::newRow(qPrintable(folder)) << products.filePath(folder + "/preview.html");
    }
    void shippedPreviewPages() {
        QFETCH(QString, page);
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        const QString copy = SalesCopyStart::ForProduct("Name", page);

        QVERIFY2(copy.startsWith("<!-- wp:heading -->\n<h2>"), qPrintable(copy));
        QVERIFY(!copy.contains("<h2>Name</h2>"));
        QCOMPARE(copy.count("<!-- wp:heading -->"), 1);
        QVERIFY(copy.count("<!-- wp:paragraph -->") >= 1);
        QCOMPARE(copy.count("<!-- wp:list -->"), 1);
        // Every benefit of the page, and nothing of its price box.
        QCOMPARE(copy.count("<li>"), html.count("<li"));
        for (const char* absent : {"Buy now", "$", "style=", "<img", "<table", "<span", "<a ", "\r"})
            QVERIFY2(!copy.contains(absent), absent);
        QVERIFY(copy.endsWith("<!-- /wp:list -->\n"));
    }
};

QTEST_APPLESS_MAIN(tst_SalesCopyStart)
#include "tst_salescopystart.moc"
