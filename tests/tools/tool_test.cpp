// tarvolo-tool as scripts use it: generate a simulator folder, build its database, read it
// back with dump, ask for the variation.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "tests/support/child_process.h"

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Judged like every program a test starts: no crash, no sanitizer report; `allowed` are the
// exit statuses that are no failure.
Result RunTool(const QStringList& args, const QString& workDir,
               std::initializer_list<int> allowed = {0}) {
    testing_support::ChildProcess process;
    process.Allow(allowed);
    process.SetWorkingDirectory(workDir);
    process.Start(QStringLiteral(TARVOLO_TOOL_PATH), args);
    if (!process.WaitForFinished(120000)) {
        process.Kill();
        return {};
    }
    return {process.ExitCode(), process.Out(), process.Err()};
}

std::vector<QJsonObject> JsonLines(const QByteArray& out) {
    std::vector<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty()) {
            lines.push_back(QJsonDocument::fromJson(line).object());
        }
    }
    return lines;
}

class Tool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir(m_root.path()).mkpath("work"));
    }
    QString Path(const QString& name) const { return m_root.filePath(name); }

    QTemporaryDir m_root;
};

TEST_F(Tool, GenerateBuildAndDumpTheTinyWorld) {
    ASSERT_EQ(RunTool({"generate", "--preset", "tiny", "--out", Path("sim")}, Path(".")).exitCode,
              0);
    const Result build = RunTool({"build", Path("sim")}, Path("work"));
    ASSERT_EQ(build.exitCode, 0) << build.err.toStdString();
    const QJsonObject summary = QJsonDocument::fromJson(build.out).object();
    EXPECT_EQ(summary["airportCount"].toInt(), 4);
    EXPECT_EQ(summary["airspaceFileCount"].toInt(), 1);
    EXPECT_EQ(summary["dataFiles"].toInt(), 4);

    const Result dump = RunTool({"dump", Path("work")}, Path("."));
    ASSERT_EQ(dump.exitCode, 0) << dump.err.toStdString();
    const std::vector<QJsonObject> lines = JsonLines(dump.out);
    ASSERT_EQ(lines.size(), 6u);  // settings, four airports, the airspace list

    const QJsonObject& settings = lines[0];
    EXPECT_EQ(settings["version"].toString(), "Tarvolo Version 1.1");
    EXPECT_EQ(settings["recordFlag"].toInt(), 1);
    EXPECT_EQ(settings["simKind"].toInt(), 1);
    EXPECT_EQ(settings["simPath"].toString(), QDir(Path("sim")).absolutePath());
    EXPECT_EQ(settings["airportCount"].toInt(), 4);

    const QJsonObject& alpha = lines[1];
    EXPECT_EQ(alpha["name"].toString(), "Alpha Field");
    EXPECT_EQ(alpha["ident"].toString(), "KALP");
    EXPECT_EQ(alpha["towerFreq"].toString(), "118.3");
    EXPECT_EQ(alpha["runwayCount"].toInt(), 2);
    EXPECT_EQ(alpha["runways"].toArray().size(), 3);  // with the empty one after the last
    EXPECT_EQ(alpha["runways"][0]["designator"].toString(), "9");
    EXPECT_EQ(alpha["runways"][0]["oppositeDesignator"].toString(), "27");
    EXPECT_EQ(alpha["ilsCount"].toInt(), 2);
    EXPECT_EQ(alpha["ilsList"][0]["latitude"].toDouble(),
              alpha["runways"][0]["end1Latitude"].toDouble());
    EXPECT_EQ(alpha["taxiPointCount"].toInt(), 3);
    EXPECT_EQ(alpha["parkings"][0]["name"].toString(), "PARKING 1");
    EXPECT_EQ(alpha["taxiPaths"][0]["name"].toString(), "A");
    EXPECT_EQ(alpha["taxiPaths"][2]["name"].toString(), "Runway 18");
    EXPECT_EQ(alpha["taxiPaths"][3]["name"].toString(), "7");
    EXPECT_EQ(lines[3]["name"].toString(), "Boundary Field");
    // Reals keep seventeen significant digits: Alpha Field's latitude as the file stores it.
    EXPECT_TRUE(dump.out.contains("\"latitude\":10.000003999300123"));

    const QJsonArray files = lines[5]["airspaceFiles"].toArray();
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].toString().endsWith("\\scenery\\world\\scenery\\ap_alpha.bgl"));
}

TEST_F(Tool, AJsonWorldIsGeneratedAsDescribed) {
    QFile world(Path("world.json"));
    ASSERT_TRUE(world.open(QIODevice::WriteOnly));
    world.write(R"({"magvarBase": -12, "magvarWave": 0, "magvarTilt": 0, "areas": [
        {"header": "[Area.001]", "title": "Only", "local": "Scenery\\Only",
         "folder": "Scenery/Only/scenery", "files": [
            {"name": "ap.bgl", "airports": [
                {"name": "Json Field", "ident": "kjsn", "latitude": 51.5, "longitude": -0.5,
                 "radios": [{"frequencyMhz": 118.5, "kind": 6}],
                 "runways": [{"latitude": 51.5, "longitude": -0.5, "headingTrue": 270,
                              "lengthFeet": 8000, "widthFeet": 150, "mark": 1, "number": 27}]}]},
            {"name": "other.bgl", "marker": false}]}]})");
    world.close();
    ASSERT_EQ(RunTool({"generate", "--world", Path("world.json"), "--out", Path("sim")}, Path("."))
                  .exitCode,
              0);
    ASSERT_EQ(RunTool({"build", Path("sim")}, Path("work")).exitCode, 0);
    const std::vector<QJsonObject> lines =
        JsonLines(RunTool({"dump", Path("work")}, Path(".")).out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1]["ident"].toString(), "KJSN");
    EXPECT_EQ(lines[1]["towerFreq"].toString(), "118.5");
    EXPECT_EQ(lines[1]["runways"][0]["designator"].toString(), "27L");
    // 270 true with 12 degrees west variation: 282 magnetic.
    EXPECT_EQ(lines[1]["runways"][0]["magHeading"].toInt(), 282);

    const Result magvar = RunTool({"magvar", Path("sim"), "51.5", "-0.5"}, Path("."));
    EXPECT_EQ(magvar.exitCode, 0);
    EXPECT_EQ(magvar.out.trimmed(), "-12");  // stored as -2185/65536 of a turn, -12.0025
}

TEST_F(Tool, LoadPrintsTheSceneOfOneAirport) {
    ASSERT_EQ(RunTool({"generate", "--preset", "tiny", "--out", Path("sim")}, Path(".")).exitCode,
              0);
    ASSERT_EQ(RunTool({"build", Path("sim")}, Path("work")).exitCode, 0);
    const Result load = RunTool({"load", Path("work"), "0"}, Path("."));
    ASSERT_EQ(load.exitCode, 0) << load.err.toStdString();
    const QJsonObject scene = QJsonDocument::fromJson(load.out).object();
    EXPECT_EQ(scene["airport"]["name"].toString(), "Alpha Field");
    ASSERT_EQ(scene["airspaceCount"].toInt(), 2);
    const QJsonArray airspaces = scene["airspaces"].toArray();
    ASSERT_EQ(airspaces.size(), 2);
    const QJsonObject classD = airspaces[0].toObject();
    EXPECT_EQ(classD["classLabel"].toString(), "Airspace Class D");
    EXPECT_EQ(classD["name"].toString(), "ALPHA CLASS D");
    EXPECT_EQ(classD["vertexCount"].toInt(), 2);
    EXPECT_EQ(classD["vertices"][1]["kind"].toInt(), 2);
    EXPECT_EQ(classD["vertices"][1]["radius"].toInt(), 4);
    EXPECT_EQ(classD["upperAltitude"].toInt(), 2500);
    for (const char* key :
         {"centerLatitude", "centerLongitude", "lowerAltitude", "frequencyList", "comName"}) {
        EXPECT_TRUE(classD.contains(key)) << key;
    }
    EXPECT_EQ(airspaces[1]["classLabel"].toString(), "TRACON (Departure/Approach)");

    // The simulator folder moved: --sim reads the airspace files from the new place.
    ASSERT_TRUE(QDir().rename(Path("sim"), Path("moved")));
    const QJsonObject moved =
        QJsonDocument::fromJson(
            RunTool({"load", Path("work"), "0", "--sim", Path("moved")}, Path(".")).out)
            .object();
    EXPECT_EQ(moved["airspaceCount"].toInt(), 2);
    EXPECT_EQ(RunTool({"load", Path("work"), "99"}, Path("."), {1}).exitCode, 1);
}

TEST_F(Tool, RenderPaintsTheScopeAsThePictureOfALevel) {
    ASSERT_EQ(RunTool({"generate", "--preset", "tiny", "--out", Path("sim")}, Path(".")).exitCode,
              0);
    ASSERT_EQ(RunTool({"build", Path("sim")}, Path("work")).exitCode, 0);
    QFile traffic(Path("traffic.json"));
    ASSERT_TRUE(traffic.open(QIODevice::WriteOnly));
    traffic.write(
        R"([{"name": "TEST1", "altitude": 3000, "heading": 90, "latitude": 10.01, "longitude": 20.01}])");
    traffic.close();
    for (const char* level : {"9", "15"}) {
        const QString out = Path(QString("scope%1.png").arg(level));
        const Result render = RunTool({"render", Path("work"), "0", "--zoom", level, "--traffic",
                                       Path("traffic.json"), "--size", "400x200", "--out", out},
                                      Path("."));
        ASSERT_EQ(render.exitCode, 0) << render.err.toStdString();
        QImage image(out);
        ASSERT_EQ(image.size(), QSize(400, 200));
        // Cyan airspaces at the wide level, none at the close one; the target in scope green.
        bool cyan = false;
        bool green = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                cyan = cyan || pixel == QColor(0, 255, 255);
                green = green || pixel == QColor(0, 192, 0);
            }
        }
        EXPECT_EQ(cyan, QString(level) == "9") << level;
        EXPECT_TRUE(green) << level;
    }
    EXPECT_EQ(RunTool({"render", Path("work"), "0", "--zoom", "21", "--out", Path("x.png")},
                      Path("."), {2})
                  .exitCode,
              2);

    // The aids: an empty list paints the same picture; a conflicting pair with its history
    // turns red; an unknown aid is a usage error.
    ASSERT_TRUE(traffic.open(QIODevice::WriteOnly | QIODevice::Truncate));
    traffic.write(R"([
        {"name": "A1", "altitude": 3000, "heading": 90, "latitude": 10.01, "longitude": 20.01,
         "history": [{"latitude": 10.01, "longitude": 20.0, "altitude": 3000, "t": 0}]},
        {"name": "B2", "altitude": 3400, "heading": 270, "latitude": 10.01, "longitude": 20.03,
         "history": [{"latitude": 10.01, "longitude": 20.04, "altitude": 3400, "t": 0}]}])");
    traffic.close();
    auto render = [&](const QString& out, QStringList extra) {
        QStringList args{"render",    Path("work"),         "0",      "--zoom",  "11",
                         "--traffic", Path("traffic.json"), "--size", "400x200", "--out",
                         Path(out)};
        return RunTool(args + extra, Path("."), {0, 2}).exitCode;
    };
    ASSERT_EQ(render("plain.png", {}), 0);
    ASSERT_EQ(render("none.png", {"--aids", ""}), 2);  // a value is needed
    ASSERT_EQ(render("off.png", {"--aids", ","}), 0);
    EXPECT_EQ(QImage(Path("plain.png")), QImage(Path("off.png")));
    ASSERT_EQ(render("on.png", {"--aids", "conflicts,trails,rings,filter=0:5000"}), 0);
    const auto painted = [&](const char* file, QColor colour) {
        const QImage image(Path(file));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == colour)
                    return true;
        return false;
    };
    EXPECT_TRUE(painted("on.png", QColor(255, 40, 40)));
    // A range and bearing line in its own colour, centrelines in the runways' dim green.
    ASSERT_EQ(render("lines.png", {"--aids", "rbl=A1:B2,centrelines,history=3:1,vector=2"}), 0);
    EXPECT_TRUE(painted("lines.png", QColor(0, 200, 255)));
    for (const char* bad : {"rings,radar", "filter=low:high", "history=0:5", "history=5",
                            "vector=3", "rbl=A1", "rbl=:B2"})
        EXPECT_EQ(render("bad.png", {"--aids", bad}), 2) << bad;
}

TEST_F(Tool, WrongUseIsRefusedWithAnExitCode) {
    EXPECT_EQ(RunTool({}, Path("."), {1, 2}).exitCode, 2);
    EXPECT_EQ(RunTool({"frobnicate"}, Path("."), {1, 2}).exitCode, 2);
    EXPECT_EQ(RunTool({"generate", "--preset", "atlantis", "--out", Path("x")}, Path("."), {1, 2})
                  .exitCode,
              2);
    EXPECT_EQ(RunTool({"magvar", Path("sim"), "north", "0"}, Path("."), {1, 2}).exitCode, 2);
    EXPECT_EQ(
        RunTool({"generate", "--preset", "tiny", "--colour", "red"}, Path("."), {1, 2}).exitCode,
        2);
    const Result unwritable =
        RunTool({"generate", "--preset", "tiny", "--out", "/proc/tarvolo-sim"}, Path("."), {1, 2});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_TRUE(unwritable.err.contains("cannot create /proc/tarvolo-sim"))
        << unwritable.err.toStdString();
    EXPECT_EQ(RunTool({"build", Path("no-such-sim")}, Path("work"), {1, 2}).exitCode, 1);
    EXPECT_EQ(RunTool({"dump", Path("work")}, Path("."), {1, 2}).exitCode, 1);
}

}  // namespace
