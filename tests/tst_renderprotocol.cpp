// The messages between the window and its renderers: each comes back as it went, and content
// that is cut short, garbled or of another version does not decode.

#include "protocol/renderprotocol.h"
#include "renderer/lineoutbox.h"

#include <QDataStream>
#include <QIODevice>
#include <QtTest>

#include <climits>

using namespace RenderProtocol;
using Outcome = RenderResult::Outcome;
using Source = RenderResult::ErrorSource;

enum class Kind { Job, Started, Progress, Rows, RowsDone, Finished, Lines };
Q_DECLARE_METATYPE(Kind)

namespace {

QByteArray contentOf(const QByteArray &frame)
{
    return frame.mid(frameHeaderLength);
}

bool decodes(Kind kind, const QByteArray &content)
{
    switch (kind) {
    case Kind::Job: { Job message; return decode(content, &message); }
    case Kind::Started: { Started message; return decode(content, &message); }
    case Kind::Progress: { Progress message; return decode(content, &message); }
    case Kind::Rows: { Rows message; return decode(content, &message); }
    case Kind::RowsDone: { RowsDone message; return decode(content, &message); }
    case Kind::Finished: { Finished message; return decode(content, &message); }
    case Kind::Lines: { Lines message; return decode(content, &message); }
    }
    return false;
}

// A frame like encode() makes, with any version and type.
QByteArray frameOf(qint32 messageVersion, qint32 type, const QByteArray &fields = QByteArray())
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << messageVersion << type;
    content += fields;
    QByteArray frame;
    QDataStream header(&frame, QIODevice::WriteOnly);
    header << quint32(content.size());
    return frame + content;
}

Job sampleJob()
{
    Job job;
    job.stdlibText = QStringLiteral("function clamp(v) { return v; }");
    job.paintingText = QStringLiteral("width = 3; // Ωmega, 名前");
    return job;
}

ConsoleLine lineOf(const QString &text, QPoint pixel = QPoint(-1, -1),
                   ConsoleLine::Kind kind = ConsoleLine::Kind::Log)
{
    ConsoleLine line;
    line.kind = kind;
    line.text = text;
    line.pixel = pixel;
    return line;
}

QVector<ConsoleLine> numberedLines(int count)
{
    QVector<ConsoleLine> lines;
    for (int i = 0; i < count; ++i)
        lines << lineOf(QString::number(i), QPoint(i, 0));
    return lines;
}

RenderResult failureOf(Outcome outcome)
{
    RenderResult result;
    result.outcome = outcome;
    return result;
}

} // namespace

class tst_RenderProtocol : public QObject
{
    Q_OBJECT

private slots:
    void job_data();
    void job();
    void started_data();
    void started();
    void progressAndRows_data();
    void progressAndRows();
    void finished_data();
    void finished();
    void lines_data();
    void lines();
    void outboxCapsEachPart_data();
    void outboxCapsEachPart();
    void cutShortOrLonger_data();
    void cutShortOrLonger();
    void unsound_data();
    void unsound();
    void frames();
};

void tst_RenderProtocol::job_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("processCount");
    QTest::addColumn<int>("process");
    QTest::addColumn<bool>("shareAlways");
    QTest::addColumn<int>("together");
    QTest::addColumn<bool>("linesCapped");
    QTest::addColumn<QPoint>("inspectedPlace");
    QTest::addColumn<double>("scale");
    QTest::addColumn<int>("samples");

    const QPoint none(-1, -1);
    QTest::newRow("as the window sends it") << "" << "function render() {}" << 1 << 0 << INT_MAX << 2 << -1 << false << 1 << true << none << 1.0 << 1;
    QTest::newRow("low quality, some rows, the third process")
        << "var a;" << "parallel = true;" << 2 << 30 << 60 << 4 << 3 << true << 4 << true << none << 1.0 << 1;
    QTest::newRow("every kind of character")
        << QString::fromUtf8("ü\xF0\x9F\x8E\xA8") + QChar(0) + QChar(0xD800)
        << QStringLiteral("\u00a0\r\n\t") << 1 << 0 << 0 << 1 << -1 << false << 1 << true << none << 1.0 << 1;
    QTest::newRow("a long painting") << "" << QString(100000, QLatin1Char('x')) << 1 << 5 << 5 << 256 << 255 << true << 2 << true << none << 1.0 << 1;
    QTest::newRow("every line, as the command line asks") << "" << "print(1);" << 1 << 0 << INT_MAX << 1 << -1 << false << 1 << false << none << 1.0 << 1;
    QTest::newRow("one pixel") << "" << "function render() {}" << 2 << 0 << INT_MAX << 1 << -1 << true << 1 << true << QPoint(312, 200) << 1.0 << 1;
    QTest::newRow("print size, anti-aliased") << "" << "" << 1 << 0 << INT_MAX << 2 << -1 << false << 1 << true << none << 2.05 << 8;
}

void tst_RenderProtocol::job()
{
    Job sent;
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);
    sent.stdlibText = stdlib;
    sent.paintingText = painting;
    QFETCH(int, step);
    sent.step = step;
    QFETCH(int, first);
    QFETCH(int, last);
    sent.rows = RowRange{first, last};
    QFETCH(int, processCount);
    sent.processCount = processCount;
    QFETCH(int, process);
    sent.process = process;
    QFETCH(bool, shareAlways);
    sent.shareAlways = shareAlways;
    QFETCH(int, together);
    sent.processesTogether = together;
    QFETCH(bool, linesCapped);
    sent.linesCapped = linesCapped;
    QFETCH(QPoint, inspectedPlace);
    sent.inspectedPlace = inspectedPlace;
    QFETCH(double, scale);
    sent.scale = scale;
    QFETCH(int, samples);
    sent.samples = samples;

    const QByteArray content = contentOf(encode(sent));
    QCOMPARE(messageType(content), MessageType::Job);
    Job received;
    QVERIFY(decode(content, &received));
    QCOMPARE(received.stdlibText, stdlib);
    QCOMPARE(received.paintingText, painting);
    QCOMPARE(received.step, step);
    QCOMPARE(received.scale, scale);
    QCOMPARE(received.samples, samples);
    QCOMPARE(received.rows, sent.rows);
    QCOMPARE(received.processCount, processCount);
    QCOMPARE(received.process, process);
    QCOMPARE(received.shareAlways, shareAlways);
    QCOMPARE(received.processesTogether, together);
    QCOMPARE(received.linesCapped, linesCapped);
    QCOMPARE(received.inspectedPlace, inspectedPlace);
}

void tst_RenderProtocol::started_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<bool>("shared");

    QTest::newRow("the whole picture, shared") << QSize(640, 480) << 0 << 480 << true;
    QTest::newRow("some rows") << QSize(3, 100) << 30 << 60 << false;
    QTest::newRow("no row of it") << QSize(3, 100) << 100 << 100 << false;
    QTest::newRow("the largest sizes") << QSize(INT_MAX, INT_MAX) << 0 << INT_MAX << true;
}

void tst_RenderProtocol::started()
{
    QFETCH(QSize, size);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(bool, shared);

    const QByteArray content = contentOf(encode(Started{size, RowRange{first, last}, shared}));
    QCOMPARE(messageType(content), MessageType::Started);
    Started received;
    QVERIFY(decode(content, &received));
    QCOMPARE(received.size, size);
    QCOMPARE(received.rows, (RowRange{first, last}));
    QCOMPARE(received.shared, shared);
}

void tst_RenderProtocol::progressAndRows_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("the first row") << 0 << 1;
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("from the middle") << 33 << 37;
    QTest::newRow("to the largest row") << INT_MAX - 1 << INT_MAX;
}

void tst_RenderProtocol::progressAndRows()
{
    QFETCH(int, first);
    QFETCH(int, last);

    const QByteArray rowsContent = contentOf(encode(Rows{RowRange{first, last}}));
    QCOMPARE(messageType(rowsContent), MessageType::Rows);
    Rows rows;
    QVERIFY(decode(rowsContent, &rows));
    QCOMPARE(rows.rows, (RowRange{first, last}));

    const QByteArray progressContent = contentOf(encode(Progress{first}));
    QCOMPARE(messageType(progressContent), MessageType::Progress);
    Progress progress;
    QVERIFY(decode(progressContent, &progress));
    QCOMPARE(progress.row, first);

    const QByteArray doneContent = contentOf(encode(RowsDone{}));
    QCOMPARE(messageType(doneContent), MessageType::RowsDone);
    RowsDone done;
    QVERIFY(decode(doneContent, &done));
}

void tst_RenderProtocol::finished_data()
{
    QTest::addColumn<RenderResult>("result");
    QTest::addColumn<QSize>("imageSize");

    RenderResult picture = failureOf(Outcome::Picture);
    picture.size = QSize(640, 480);
    picture.firstRow = 30;
    QTest::newRow("a picture") << picture << QSize(640, 30);
    RenderResult error = failureOf(Outcome::ScriptError);
    error.errorText = QStringLiteral("RangeError: <b>mid</b>");
    error.errorSource = Source::Stdlib;
    error.errorLine = 12;
    error.errorPixel = QPoint(3, 2);
    QTest::newRow("a script error at a pixel") << error << QSize();
    error.errorPixel = QPointF(0.375, -0.125);
    error.errorCell = QPoint(1, 0);
    QTest::newRow("a script error in a sample") << error << QSize();
    RenderResult tooLarge = failureOf(Outcome::TooLarge);
    tooLarge.size = QSize(100000, 100000);
    tooLarge.scriptWidth = QStringLiteral("100000");
    tooLarge.scriptHeight = QStringLiteral("1e5");
    QTest::newRow("too large") << tooLarge << QSize();
    RenderResult noPixels = failureOf(Outcome::NoPixels);
    noPixels.scriptWidth = QStringLiteral("wide");
    noPixels.scriptHeight = QStringLiteral("-Infinity");
    QTest::newRow("no pixels") << noPixels << QSize();
    RenderResult pixel = failureOf(Outcome::Picture);
    pixel.channelValues = QStringList{"0.75", "NaN", "-1e+21"};
    pixel.pixelColour = qRgb(191, 0, 1);
    QTest::newRow("a pixel rendered alone") << pixel << QSize();
}

void tst_RenderProtocol::finished()
{
    QFETCH(RenderResult, result);
    QFETCH(QSize, imageSize);

    const QByteArray content = contentOf(encode(Finished{result, imageSize}));
    QCOMPARE(messageType(content), MessageType::Finished);
    Finished received;
    QVERIFY(decode(content, &received));
    const RenderResult &decoded = received.result;
    QCOMPARE(decoded.outcome, result.outcome);
    QCOMPARE(decoded.errorText, result.errorText);
    QCOMPARE(decoded.errorSource, result.errorSource);
    QCOMPARE(decoded.errorLine, result.errorLine);
    QCOMPARE(decoded.errorPixel, result.errorPixel);
    QCOMPARE(decoded.errorCell, result.errorCell);
    QCOMPARE(decoded.size, result.size);
    QCOMPARE(decoded.scriptWidth, result.scriptWidth);
    QCOMPARE(decoded.scriptHeight, result.scriptHeight);
    QCOMPARE(decoded.firstRow, result.firstRow);
    QCOMPARE(decoded.channelValues, result.channelValues);
    QCOMPARE(decoded.pixelColour, result.pixelColour);
    QVERIFY(decoded.image.isNull());
    QCOMPARE(received.imageSize, imageSize);
}

void tst_RenderProtocol::lines_data()
{
    QTest::addColumn<QVector<ConsoleLine>>("sent");
    QTest::addColumn<qint64>("unsent");

    QTest::newRow("none, only counted") << QVector<ConsoleLine>{} << qint64(5);
    QTest::newRow("every kind, from both origins")
        << QVector<ConsoleLine>{lineOf("top"), lineOf("info", {0, 0}, ConsoleLine::Kind::Info),
                                lineOf("warn", {6, 4}, ConsoleLine::Kind::Warning),
                                lineOf("error", {INT_MAX, INT_MAX}, ConsoleLine::Kind::Error)}
        << qint64(0);
    QTest::newRow("empty and unusual texts")
        << QVector<ConsoleLine>{lineOf(""), lineOf(QString::fromUtf8("名前 \xF0\x9F\x8E\xA8") + QChar(0)),
                                lineOf(QString(100000, QLatin1Char('x')))}
        << qint64(0);
    QTest::newRow("a thousand lines and more counted") << numberedLines(ConsoleLines::kept)
                                                       << qint64(40);
}

void tst_RenderProtocol::lines()
{
    QFETCH(QVector<ConsoleLine>, sent);
    QFETCH(qint64, unsent);

    const QByteArray content = contentOf(encode(Lines{sent, unsent}));
    QCOMPARE(messageType(content), MessageType::Lines);
    Lines received;
    QVERIFY(decode(content, &received));
    QCOMPARE(received.lines, sent);
    QCOMPARE(received.unsent, unsent);
}

// Each part of a render (the top level, the rows, a range of them) sends at most the lines that
// the window keeps and counts the rest; uncapped, every line goes, in batches.
void tst_RenderProtocol::outboxCapsEachPart_data()
{
    QTest::addColumn<bool>("capped");
    QTest::addColumn<QList<int>>("parts");        // lines printed in each part
    QTest::addColumn<int>("sentLines");
    QTest::addColumn<qint64>("counted");

    QTest::newRow("below the cap") << true << QList<int>{10, 20} << 30 << qint64(0);
    QTest::newRow("at the cap") << true << QList<int>{ConsoleLines::kept} << ConsoleLines::kept << qint64(0);
    QTest::newRow("over the cap") << true << QList<int>{1500} << ConsoleLines::kept << qint64(500);
    QTest::newRow("each part has its own cap")
        << true << QList<int>{1200, 5, 1001} << 2 * ConsoleLines::kept + 5 << qint64(201);
    QTest::newRow("uncapped") << false << QList<int>{1500, 3000} << 4500 << qint64(0);
}

void tst_RenderProtocol::outboxCapsEachPart()
{
    QFETCH(bool, capped);
    QFETCH(QList<int>, parts);
    QFETCH(int, sentLines);
    QFETCH(qint64, counted);

    LineOutbox outbox(capped);
    QVector<ConsoleLine> sent;
    qint64 unsent = 0;
    int printed = 0;
    auto take = [&] {
        const Lines message = outbox.take();
        sent += message.lines;
        unsent += message.unsent;
        QVERIFY(outbox.isEmpty());
    };
    for (int count : parts) {
        for (int i = 0; i < count; ++i) {
            QCOMPARE(outbox.wantsLines(), !capped || i < ConsoleLines::kept);
            if (outbox.add(lineOf(QString::number(printed++))))
                take();
        }
        take();
        outbox.startPart();
    }
    QCOMPARE(sent.size(), sentLines);
    QCOMPARE(unsent, counted);
    if (!capped) {
        for (int i = 0; i < sent.size(); ++i)
            QCOMPARE(sent.at(i).text, QString::number(i));
    }
}

void tst_RenderProtocol::cutShortOrLonger_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("job") << Kind::Job << encode(sampleJob());
    QTest::newRow("started") << Kind::Started << encode(Started{QSize(3, 4), RowRange{0, 4}, true});
    QTest::newRow("progress") << Kind::Progress << encode(Progress{7});
    QTest::newRow("rows") << Kind::Rows << encode(Rows{RowRange{3, 9}});
    QTest::newRow("rows done") << Kind::RowsDone << encode(RowsDone{});
    RenderResult error = failureOf(Outcome::ScriptError);
    error.errorText = QStringLiteral("Error: no");
    QTest::newRow("finished") << Kind::Finished << encode(Finished{error, QSize()});
    QTest::newRow("lines") << Kind::Lines << encode(Lines{{lineOf("a"), lineOf("b", {3, 2})}, 7});
}

// Every cut of a message fails, as do a byte more, another version and another type.
void tst_RenderProtocol::cutShortOrLonger()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, frame);

    const QByteArray content = contentOf(frame);
    QCOMPARE(contentLength(frame), qint64(content.size()));
    QVERIFY(decodes(kind, content));
    for (int length = 0; length < content.size(); ++length)
        QVERIFY2(!decodes(kind, content.left(length)), qPrintable(QString::number(length)));
    QVERIFY(!decodes(kind, content + '\0'));

    QDataStream in(content);
    qint32 messageVersion = 0, type = 0;
    in >> messageVersion >> type;
    const QByteArray fields = content.mid(8);
    const QByteArray otherVersion = contentOf(frameOf(version + 1, type, fields));
    QVERIFY(!decodes(kind, otherVersion));
    QCOMPARE(messageType(otherVersion), MessageType::Unknown);
    const QByteArray unknownType = contentOf(frameOf(version, 99, fields));
    QVERIFY(!decodes(kind, unknownType));
    QCOMPARE(messageType(unknownType), MessageType::Unknown);
    for (Kind other : {Kind::Job, Kind::Started, Kind::Progress, Kind::Rows, Kind::RowsDone,
                       Kind::Finished, Kind::Lines}) {
        if (other != kind)
            QVERIFY(!decodes(other, content));
    }
}

void tst_RenderProtocol::unsound_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("frame");

    Job job = sampleJob();
    job.step = 0;
    QTest::newRow("a job with step 0") << Kind::Job << encode(job);
    job = sampleJob();
    job.scale = 0.05;
    QTest::newRow("a job at a scale too small") << Kind::Job << encode(job);
    job = sampleJob();
    job.samples = 9;
    QTest::newRow("a job with too many samples") << Kind::Job << encode(job);
    job = sampleJob();
    job.rows = RowRange{9, 5};
    QTest::newRow("a job with rows backwards") << Kind::Job << encode(job);
    job = sampleJob();
    job.rows = RowRange{-1, 5};
    QTest::newRow("a job from a negative row") << Kind::Job << encode(job);
    job = sampleJob();
    job.processCount = 2;
    job.process = 2;
    QTest::newRow("a process beyond the count") << Kind::Job << encode(job);
    job = sampleJob();
    job.process = 0;
    QTest::newRow("a process numbered 0") << Kind::Job << encode(job);
    job = sampleJob();
    job.processCount = 0;
    QTest::newRow("no processes") << Kind::Job << encode(job);
    job = sampleJob();
    job.processesTogether = 2;
    QTest::newRow("more processes together than in the render") << Kind::Job << encode(job);
    QByteArray hugeString;
    QDataStream out(&hugeString, QIODevice::WriteOnly);
    out << quint32(0x7FFFFFF0);
    QTest::newRow("a job whose text is longer than the message")
        << Kind::Job << frameOf(version, qint32(MessageType::Job), hugeString + "abc");
    QTest::newRow("a picture of no size") << Kind::Started << encode(Started{QSize(0, 5), RowRange{0, 5}, false});
    QTest::newRow("rows below the picture") << Kind::Started << encode(Started{QSize(3, 5), RowRange{0, 6}, false});
    QTest::newRow("progress at a negative row") << Kind::Progress << encode(Progress{-1});
    QTest::newRow("rows backwards") << Kind::Rows << encode(Rows{RowRange{5, 4}});
    QTest::newRow("an outcome of no known kind") << Kind::Finished << encode(Finished{failureOf(Outcome(99)), QSize()});
    RenderResult badSource = failureOf(Outcome::ScriptError);
    badSource.errorSource = Source(-1);
    QTest::newRow("an error from no known script") << Kind::Finished << encode(Finished{badSource, QSize()});
    RenderResult twoChannels = failureOf(Outcome::Picture);
    twoChannels.channelValues = QStringList{"1", "0"};
    QTest::newRow("a pixel with two channels") << Kind::Finished << encode(Finished{twoChannels, QSize()});
    QTest::newRow("a line of no known kind")
        << Kind::Lines << encode(Lines{{lineOf("a", {0, 0}, ConsoleLine::Kind(4))}, 0});
    QTest::newRow("lines counted below none") << Kind::Lines << encode(Lines{{}, -1});
    QByteArray manyLines;
    QDataStream count(&manyLines, QIODevice::WriteOnly);
    count << quint32(0x7FFFFFF0);
    QTest::newRow("more lines than the message holds")
        << Kind::Lines << frameOf(version, qint32(MessageType::Lines), manyLines + "abc");
    Job inspectAbove = sampleJob();
    inspectAbove.inspectedPlace = QPoint(3, -2);
    QTest::newRow("a pixel above the painting") << Kind::Job << encode(inspectAbove);
}

void tst_RenderProtocol::unsound()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, frame);
    QVERIFY(!decodes(kind, contentOf(frame)));
}

// Frames arrive in pieces of any size, several at once, and are taken out whole, in order.
void tst_RenderProtocol::frames()
{
    const QByteArray first = encode(Progress{5});
    const QByteArray second = encode(sampleJob());
    const QByteArray both = first + second;
    QByteArray pending;
    QByteArray content;
    QList<QByteArray> taken;
    for (char byte : both) {
        pending += byte;
        while (takeFrame(&pending, &content) == FrameState::Taken)
            taken << content;
    }
    QCOMPARE(taken, (QList<QByteArray>{contentOf(first), contentOf(second)}));
    QVERIFY(pending.isEmpty());

    pending = QByteArray::fromHex("40000001") + "abc";
    QCOMPARE(takeFrame(&pending, &content), FrameState::TooLong);
    pending = QByteArray::fromHex("40000000");
    QCOMPARE(takeFrame(&pending, &content), FrameState::Incomplete);
    pending = QByteArray::fromHex("000000");
    QCOMPARE(takeFrame(&pending, &content), FrameState::Incomplete);
    QCOMPARE(contentLength(pending), qint64(-1));
}

QTEST_APPLESS_MAIN(tst_RenderProtocol)
#include "tst_renderprotocol.moc"
