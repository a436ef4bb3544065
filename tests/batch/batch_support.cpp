#include "tests/batch/batch_support.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <sstream>

#include "matrix/text_file.h"
#include "tests/support/test_util.h"

namespace pelvanor::test {

std::string BatchPath() {
#ifdef PELVANOR_BATCH_PATH
    return PELVANOR_BATCH_PATH;
#else
    return {};
#endif
}

std::string DrivePath() {
#ifdef PELVANOR_DRIVE_PATH
    return PELVANOR_DRIVE_PATH;
#else
    return {};
#endif
}

std::vector<ProgramRun> RunAtOnce(const std::vector<ProgramCall>& calls, const char* lang) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", lang);
    env.insert("LC_ALL", lang);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const ProgramCall& call : calls) {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment own = env;
        if (call.noDisplay)
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) own.remove(QString::fromLatin1(name));
        process->setProcessEnvironment(own);
        QStringList args;
        for (const std::string& arg : call.args) args << QString::fromStdString(arg);
        process->start(QString::fromStdString(call.program), args);
        processes.push_back(std::move(process));
    }
    std::vector<ProgramRun> runs(calls.size());
    for (std::size_t i = 0; i < processes.size(); ++i) {
        QProcess& process = *processes[i];
        if (!process.waitForStarted(20000) || !process.waitForFinished(300000)) {
            runs[i].err = "did not run: " + calls[i].program;
            continue;
        }
        runs[i].status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        runs[i].out = process.readAllStandardOutput().toStdString();
        runs[i].err = process.readAllStandardError().toStdString();
    }
    return runs;
}

ProgramRun RunBatch(const std::vector<std::string>& args, const char* lang) {
    return RunAtOnce({{BatchPath(), args}}, lang).front();
}

std::map<std::string, std::string> FolderFiles(const std::string& dir) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::is_directory(dir)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFileBytes(entry.path().string());
    return files;
}

std::vector<SampleProject> SampleProjects() {
    return {{"fasada", SourcePath("examples/fasada"), "space"}, {"rovina", SourcePath("examples/rovina"), "plane"}};
}

std::vector<std::string> ProtocolLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(DecodeCp1250(ReadFileBytes(path)));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace pelvanor::test
