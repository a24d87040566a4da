#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "window/application.h"

namespace {

const QString kIconDir = QStringLiteral(PIXEL_SAMPLER_SOURCE_DIR "/window/icon");

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint16 u16(const QByteArray& data, int at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}
quint32 u32(const QByteArray& data, int at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

}  // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void iconHoldsExactlyThreeImages();
    void iconIsBuiltFromItsPictures();
    void applicationCarriesNameVersionAndIcon();
};

void TestResources::iconHoldsExactlyThreeImages() {
    const QByteArray ico = readFile(kIconDir + "/pixel-sampler.ico");
    QVERIFY(ico.size() > 6);
    QCOMPARE(u16(ico, 0), 0);  // reserved
    QCOMPARE(u16(ico, 2), 1);  // an icon, not a cursor
    QCOMPARE(u16(ico, 4), 3);
    struct Expected {
        int size, colours, bits;
    };
    const Expected expected[3] = {{32, 2, 1}, {32, 16, 4}, {16, 16, 4}};
    for (int i = 0; i < 3; ++i) {
        const int entry = 6 + 16 * i;
        const int width = quint8(ico[entry]) ? quint8(ico[entry]) : 256;
        QCOMPARE(width, expected[i].size);
        QCOMPARE(int(quint8(ico[entry + 1])), expected[i].size);
        QCOMPARE(int(quint8(ico[entry + 2])), expected[i].colours);
        QCOMPARE(int(u16(ico, entry + 6)), expected[i].bits);
        const quint32 length = u32(ico, entry + 8);
        const quint32 offset = u32(ico, entry + 12);
        QVERIFY(offset + length <= quint32(ico.size()));
        // The image itself must agree with its directory entry.
        QCOMPARE(u32(ico, offset), 40u);                            // BITMAPINFOHEADER
        QCOMPARE(int(u32(ico, offset + 4)), expected[i].size);      // width
        QCOMPARE(int(u32(ico, offset + 8)), 2 * expected[i].size);  // colours + mask
        QCOMPARE(int(u16(ico, offset + 14)), expected[i].bits);
        const int stride = (expected[i].size * expected[i].bits + 31) / 32 * 4;
        const int maskStride = (expected[i].size + 31) / 32 * 4;
        QCOMPARE(int(length),
                 40 + 4 * expected[i].colours + expected[i].size * (stride + maskStride));
    }
    // And Qt can read it, as Windows and the desktop would.
    QIcon icon(kIconDir + "/pixel-sampler.ico");
    QVERIFY(!icon.pixmap(16, 16).isNull());
}

void TestResources::iconIsBuiltFromItsPictures() {
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const int status =
        QProcess::execute(QStringLiteral("python3"), {kIconDir + "/make-icon.py", out.path()});
    if (status < 0) {
        QSKIP("python3 is not available to rebuild the icon");
    }
    QCOMPARE(status, 0);
    for (const char* name : {"pixel-sampler.ico", "pixel-sampler-16.png", "pixel-sampler-32.png"}) {
        QVERIFY2(readFile(out.filePath(name)) == readFile(kIconDir + "/" + name),
                 qPrintable(QStringLiteral("%1 differs from what its pictures make").arg(name)));
    }
}

void TestResources::applicationCarriesNameVersionAndIcon() {
    describeApplication(*qApp);
    QCOMPARE(QApplication::applicationName(), QStringLiteral("pixel-sampler"));
    QCOMPARE(QApplication::applicationVersion(), QStringLiteral("1.00"));
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
