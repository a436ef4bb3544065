#include "tests/app/drive_support.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/support/test_util.h"

namespace pelvanor::test {

std::string DrivePath() {
    if (const char* env = std::getenv("PELVANOR_DRIVE")) return env;
#ifdef PELVANOR_DRIVE_PATH
    return PELVANOR_DRIVE_PATH;
#else
    // The build tree's layout: tests/ and tools/drive/ side by side.
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "tools" / "drive" / "pelvanor-drive").string();
#endif
}

DriveRun RunDrive(const std::string& script, const char* lang, const std::string& platform) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", lang);
    env.insert("LC_ALL", lang);
    env.insert("QT_QPA_PLATFORM", QString::fromStdString(platform));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(DrivePath()), {QString::fromStdString(script)});
    DriveRun run;
    if (!process.waitForStarted(20000) || !process.waitForFinished(120000)) {
        run.err = "pelvanor-drive did not run: " + DrivePath();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.err = process.readAllStandardError().toStdString();
    return run;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace pelvanor::test
