#include "batch/batch_options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "project/settings_fields.h"
#include "uilocale/locale_services.h"

namespace pelvanor::batch {

namespace {

std::string Tr(const char* czech, const char* english) { return CzechTexts() ? czech : english; }

std::string Quote(const std::string& text) { return CzechTexts() ? "„" + text + "“" : "'" + text + "'"; }

// Where a value came from, for the message that refuses it: an option, or
// a key of the settings file with its line.
struct Source {
    explicit Source(std::string option_, std::string file_ = {}, int line_ = 0)
        : option(std::move(option_)), file(std::move(file_)), line(line_) {}
    std::string option;  // "--tolerance"
    std::string file;    // the settings file, empty for an option
    int line = 0;

    std::string Name() const {
        if (file.empty()) return option;
        return file + ":" + std::to_string(line) + ": " + option.substr(2);
    }
};

std::string BadValue(const Source& source, const std::string& value, const std::string& expected) {
    return Tr("chybná hodnota ", "bad value of ") + source.Name() + ": " + Quote(value) + " (" + expected + ")";
}

// The settings the dialog "Nastavení" holds, with their option names.
struct SettingOption {
    const char* name;
    SettingField field;
};
constexpr SettingOption kSettingOptions[] = {
    {"max-iterations", SettingField::MaxIterations},
    {"tolerance", SettingField::Tolerance},
    {"significance", SettingField::SignificancePercent},
    {"robust-weight-percent", SettingField::RobustWeightPercent},
    {"fixed-points", SettingField::FixedPointCount},
    {"point-percent", SettingField::PointPercent},
    {"image-sigma", SettingField::ImageSigma},
    {"control-sigma-xy", SettingField::ControlSigmaXY},
    {"control-sigma-z", SettingField::ControlSigmaZ},
};

// One value of the settings: the fields of "Nastavení" by the dialog's
// rules (a whole number; the tolerance a real with `decimal`), the two check
// boxes as on|off and the orientation method as plane|space.
bool ApplySetting(const std::string& key, const std::string& value, char decimal, const Source& source,
                  BatchOptions& options, std::string& error) {
    for (const SettingOption& setting : kSettingOptions) {
        if (key != setting.name) continue;
        if (StoreSettingField(setting.field, value, decimal, options.settings)) return true;
        if (setting.field == SettingField::ImageSigma) {
            error = BadValue(source, value,
                             Tr("kladné číslo s desetinným oddělovačem ", "a positive number with the decimal separator ") +
                                 Quote(std::string(1, decimal)));
            return false;
        }
        if (setting.field == SettingField::ControlSigmaXY || setting.field == SettingField::ControlSigmaZ) {
            error = BadValue(source, value,
                             Tr("nezáporné číslo s desetinným oddělovačem ",
                                "a number of 0 or more with the decimal separator ") +
                                 Quote(std::string(1, decimal)));
            return false;
        }
        // The tolerance also with ".", as the settings file and every input
        // file write it, whatever separator the protocols take.
        const bool tolerance = setting.field == SettingField::Tolerance;
        if (tolerance && decimal != '.' && StoreSettingField(setting.field, value, '.', options.settings))
            return true;
        if (tolerance) {
            std::string separators = Quote(std::string(1, decimal));
            if (decimal != '.') separators += Tr(" nebo ", " or ") + Quote(".");
            error = BadValue(source, value,
                             Tr("číslo s desetinným oddělovačem ", "a number with the decimal separator ") +
                                 separators);
        } else {
            error = BadValue(source, value, Tr("celé číslo", "a whole number"));
        }
        return false;
    }
    if (key == "robust" || key == "camera-constant") {
        bool& target = key == "robust" ? options.settings.RobustEstimation : options.settings.AdjustCameraConstant;
        if (value == "on" || value == "off") {
            target = value == "on";
            return true;
        }
        error = BadValue(source, value, "on | off");
        return false;
    }
    if (key == "solve") {
        if (value == "auto" || value == "svd" || value == "sparse") {
            options.settings.NormalEquations = value == "auto"  ? NormalSolve::Auto
                                               : value == "svd" ? NormalSolve::Svd
                                                                : NormalSolve::Sparse;
            return true;
        }
        error = BadValue(source, value, "auto | svd | sparse");
        return false;
    }
    if (key == "calibrate") {
        std::string problem;
        if (ParseCalibrateList(value, options.settings, problem)) return true;
        error = BadValue(source, value, problem);
        return false;
    }
    if (key == "method") {
        if (value == "plane" || value == "space") {
            options.method = value == "plane" ? 0 : 1;
            return true;
        }
        error = BadValue(source, value, "plane | space");
        return false;
    }
    error = source.file + ":" + std::to_string(source.line) + ": " + Tr("neznámý klíč ", "unknown key ") +
            Quote(key);
    return false;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// The settings file: "key = value" lines with the option names as keys
// (without "--"), "#" or ";" comment lines, blank lines and [section]
// lines, which are ignored.  Like every input file of the program it
// writes the tolerance with ".".
// The largest settings file read: a settings file holds a dozen short
// lines; anything larger is not one, and reading it whole would let the
// memory grow with it (/dev/zero never ends).
constexpr off_t kMaxSettingsBytes = 1 << 20;

// The bytes of the settings file, or false with the reason in `error`.  Only
// a regular file of at most kMaxSettingsBytes is read: a named pipe without
// a writer would block the run for ever, a device may never end.  The file
// is opened without waiting (a pipe opens at once that way) and checked on
// its descriptor, so it cannot be swapped between the check and the read.
bool ReadSettingsBytes(const std::string& path, QByteArray& bytes, std::string& error) {
    const auto refuse = [&](const char* czech, const char* english) {
        error = Tr("soubor nastavení ", "the settings file ") + path + ": " + Tr(czech, english);
        return false;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == EISDIR) return refuse("je složka, ne soubor", "is a folder, not a file");
        error = Tr("soubor nastavení nelze číst: ", "cannot read the settings file: ") + path;
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = Tr("soubor nastavení nelze číst: ", "cannot read the settings file: ") + path;
        return false;
    }
    if (S_ISDIR(st.st_mode)) return refuse("je složka, ne soubor", "is a folder, not a file");
    if (S_ISFIFO(st.st_mode)) return refuse("je pojmenovaná roura, ne soubor", "is a named pipe, not a file");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return refuse("je zařízení, ne soubor", "is a device, not a file");
    if (!S_ISREG(st.st_mode)) return refuse("není obyčejný soubor", "is not a regular file");
    if (st.st_size > kMaxSettingsBytes)
        return refuse("je větší než 1 MiB, to není soubor nastavení", "is larger than 1 MiB, not a settings file");
    // Read at most one byte past the limit: a file that grows meanwhile is
    // refused too, and the buffer never outgrows the limit.
    bytes.resize(static_cast<qsizetype>(kMaxSettingsBytes) + 1);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<std::size_t>(bytes.size() - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = Tr("soubor nastavení nelze číst: ", "cannot read the settings file: ") + path;
            return false;
        }
        if (n == 0) break;
        got += n;
    }
    if (got > kMaxSettingsBytes)
        return refuse("je větší než 1 MiB, to není soubor nastavení", "is larger than 1 MiB, not a settings file");
    bytes.resize(got);
    return true;
}

bool ReadSettingsFile(const std::string& path, BatchOptions& options, std::string& error) {
    QByteArray bytes;
    if (!ReadSettingsBytes(path, bytes, error)) return false;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::string raw = lines[i].toStdString();
        const std::string_view line = Trim(raw);
        const int number = static_cast<int>(i + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '[') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = path + ":" + std::to_string(number) + ": " +
                    Tr("očekáván řádek klíč = hodnota", "expected a line key = value");
            return false;
        }
        const std::string key(Trim(line.substr(0, eq)));
        const std::string value(Trim(line.substr(eq + 1)));
        if (!ApplySetting(key, value, '.', Source{"--" + key, path, number}, options, error)) return false;
    }
    return true;
}

// The options that take a value.
constexpr const char* kValueOptions[] = {
    "camera", "control", "images", "command", "out", "json", "decimal", "method", "settings",
    "point-percent", "fixed-points", "robust-weight-percent", "significance", "max-iterations",
    "tolerance", "robust", "camera-constant", "solve", "plots", "calibrate", "export",
    "image-sigma", "control-sigma-xy", "control-sigma-z", "control-accuracy",
};

}  // namespace

bool CzechTexts() { return UiLocale().language() == QLocale::Czech; }

const char* CommandName(Command command) {
    switch (command) {
        case Command::Orientation: return "orientation";
        case Command::Bundle: return "bundle";
        case Command::Xyz: return "xyz";
        case Command::Calibration: return "calibration";
    }
    return "xyz";
}

bool ParseCalibrateList(const std::string& list, AdjustmentSettings& settings, std::string& problem) {
    static const char* const kNames[] = {"f", "x0", "y0", "k1", "k2", "k3", "p1", "p2"};
    bool named[8] = {};
    const std::string_view all = Trim(list);
    if (all != "none") {
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = all.find(',', start);
            const std::string_view name = Trim(all.substr(start, comma == std::string_view::npos ? all.size() - start : comma - start));
            bool known = false;
            for (int j = 0; j < 8; ++j) {
                if (name == kNames[j]) named[j] = known = true;
            }
            if (!known) {
                problem = Tr("seznam z f, x0, y0, k1, k2, k3, p1, p2 oddělených čárkou, nebo none",
                             "a comma-separated list of f, x0, y0, k1, k2, k3, p1, p2, or none");
                return false;
            }
            if (comma == std::string_view::npos) break;
            start = comma + 1;
        }
    }
    if (named[1] != named[2] || named[6] != named[7]) {
        problem = Tr("x0 a y0, stejně jako p1 a p2, se uvolňují jen spolu", "x0 and y0, as p1 and p2, are freed only together");
        return false;
    }
    settings.CalibrateF = named[0];
    settings.CalibratePrincipalPoint = named[1];
    settings.CalibrateK1 = named[3];
    settings.CalibrateK2 = named[4];
    settings.CalibrateK3 = named[5];
    settings.CalibrateDecentring = named[6];
    return true;
}

std::string CalibrateList(const AdjustmentSettings& s) {
    std::string list;
    const auto add = [&list](bool free, const char* names) {
        if (!free) return;
        if (!list.empty()) list += ",";
        list += names;
    };
    add(s.CalibrateF, "f");
    add(s.CalibratePrincipalPoint, "x0,y0");
    add(s.CalibrateK1, "k1");
    add(s.CalibrateK2, "k2");
    add(s.CalibrateK3, "k3");
    add(s.CalibrateDecentring, "p1,p2");
    return list.empty() ? "none" : list;
}

ParseResult ParseArguments(const std::vector<std::string>& arguments, char localeDecimal, BatchOptions& options) {
    const auto error = [](const std::string& text) { return ParseResult{ParseResult::Kind::Error, text}; };
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
    for (const char* name : kValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));

    const QStringList args = FromUtf8Names(arguments);
    // An option that wants a value and stands last has none; said here in
    // the user's language rather than in the parser's English.
    if (args.size() > 1) {
        const QString last = args.back();
        for (const char* name : kValueOptions)
            if (last == QStringLiteral("--") + QString::fromLatin1(name))
                return error(Tr("chybí hodnota volby ", "missing value of ") + last.toStdString());
    }
    if (!parser.parse(args)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            const QString name = parser.unknownOptionNames().front();
            return error(Tr("neznámá volba ", "unknown option ") + (name.size() == 1 ? "-" : "--") + name.toStdString());
        }
        return error(parser.errorText().toStdString());
    }
    if (parser.isSet(QStringLiteral("help"))) return {ParseResult::Kind::Help, HelpText()};
    if (parser.isSet(QStringLiteral("version")))
        return {ParseResult::Kind::Version, std::string("pelvanor-batch ") + PELVANOR_VERSION};

    auto value = [&parser](const char* name) { return parser.value(QString::fromLatin1(name)).toStdString(); };
    auto given = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };
    // The summary's file first: a run refused below still gets its summary.
    if (given("json") && parser.values(QStringLiteral("json")).size() == 1) options.jsonFile = value("json");
    auto values = [&parser](const char* name) { return ToUtf8Names(parser.values(QString::fromLatin1(name))); };
    // Every single-valued option given twice is refused rather than one of
    // the values silently winning.
    for (const char* name : kValueOptions) {
        const std::string_view n(name);
        if (n == "control" || n == "images") continue;
        if (parser.values(QString::fromLatin1(name)).size() > 1)
            return error(Tr("volba zadána dvakrát: --", "option given twice: --") + std::string(name));
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return error(Tr("nejvýše jedna složka projektu, navíc: ", "at most one project folder, extra: ") +
                     positional[1].toStdString());
    if (!positional.isEmpty()) {
        const QFileInfo dir(positional.front());
        if (!dir.isDir())
            return error(Tr("složka projektu neexistuje: ", "no such project folder: ") + positional.front().toStdString());
        options.projectDir = QDir::cleanPath(dir.absoluteFilePath()).toStdString();
    }

    if (given("command")) {
        const std::string c = value("command");
        if (c == "orientation") options.command = Command::Orientation;
        else if (c == "bundle") options.command = Command::Bundle;
        else if (c == "xyz") options.command = Command::Xyz;
        else if (c == "calibration") options.command = Command::Calibration;
        else return error(BadValue(Source{"--command"}, c, "orientation | bundle | xyz | calibration"));
    }

    options.decimal = localeDecimal;
    if (given("decimal")) {
        const std::string d = value("decimal");
        if (d != "," && d != ".") return error(BadValue(Source{"--decimal"}, d, ", | ."));
        options.decimal = d[0];
    }

    // The settings file first, the options over it.
    std::string problem;
    if (given("settings")) {
        options.settingsFile = value("settings");
    } else if (!options.projectDir.empty()) {
        const QString candidate = QDir(QString::fromStdString(options.projectDir)).filePath(QString::fromLatin1(kProjectSettingsFile));
        // Anything of that name is read, so that a pipe or a folder named
        // like the settings file is refused rather than passed over.
        if (QFileInfo::exists(candidate)) options.settingsFile = candidate.toStdString();
    }
    if (!options.settingsFile.empty() && !ReadSettingsFile(options.settingsFile, options, problem)) return error(problem);
    for (const char* key : {"method", "max-iterations", "tolerance", "significance", "robust-weight-percent",
                            "fixed-points", "point-percent", "robust", "camera-constant", "solve", "calibrate",
                            "image-sigma", "control-sigma-xy", "control-sigma-z"}) {
        if (!given(key)) continue;
        // A typed field: the tolerance in the notation of the numbers the
        // protocols write (--decimal, else the locale's), as in the dialog.
        if (!ApplySetting(key, value(key), options.decimal, Source{std::string("--") + key}, options, problem))
            return error(problem);
    }

    if (given("camera")) options.camera = value("camera");
    if (given("control-accuracy")) {
        options.controlAccuracy = value("control-accuracy");
        if (options.controlAccuracy.empty())
            return error(BadValue(Source{"--control-accuracy"}, "", Tr("soubor", "a file")));
    }
    options.control = values("control");
    options.images = values("images");
    if (options.projectDir.empty()) {
        if (options.camera.empty() || options.control.empty())
            return error(Tr("chybí složka projektu, nebo --camera a --control",
                            "missing the project folder, or --camera and --control"));
        if (options.command != Command::Orientation && options.images.empty())
            return error(Tr("chybí složka projektu, nebo --images", "missing the project folder, or --images"));
        if (!given("out")) return error(Tr("bez složky projektu je třeba --out", "--out is needed without a project folder"));
    }
    if (given("out")) {
        options.outDir = value("out");
        if (options.outDir.empty()) return error(BadValue(Source{"--out"}, "", Tr("složka", "a folder")));
    } else {
        options.outDir = QDir(QString::fromStdString(options.projectDir)).filePath(QString::fromLatin1(kDefaultOutFolder)).toStdString();
    }
    if (given("json")) {
        options.jsonFile = value("json");
        if (options.jsonFile.empty()) return error(BadValue(Source{"--json"}, "", Tr("soubor", "a file")));
    }
    if (given("plots")) {
        options.plotDir = value("plots");
        if (options.plotDir.empty()) return error(BadValue(Source{"--plots"}, "", Tr("složka", "a folder")));
    }
    if (given("export")) {
        const std::string list = value("export");
        std::size_t from = 0;
        while (true) {
            const std::size_t comma = list.find(',', from);
            const std::string name = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
            const PointExportFormat format = name == "dxf"   ? PointExportFormat::Dxf
                                             : name == "ply" ? PointExportFormat::Ply
                                                             : PointExportFormat::Csv;
            if (name != "csv" && name != "dxf" && name != "ply")
                return error(BadValue(Source{"--export"}, list, Tr("csv, dxf, ply oddělené čárkou", "csv, dxf, ply separated by commas")));
            if (std::find(options.exports.begin(), options.exports.end(), format) == options.exports.end())
                options.exports.push_back(format);
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
    }
    return {ParseResult::Kind::Run, {}};
}

bool WantsPlots(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--") break;
        if (a == "--plots" || a == "-plots" || a.rfind("--plots=", 0) == 0 || a.rfind("-plots=", 0) == 0) return true;
    }
    return false;
}

std::string HelpText() {
    if (CzechTexts()) {
        return R"(Použití: pelvanor-batch [volby] [SLOŽKA_PROJEKTU]

Spočítá projekt bez okna a zapíše tytéž soubory, jaké uloží okno programu.
Ze SLOŽKY_PROJEKTU načte camera.txt, všechny ctrl_*.txt a všechny img_*.txt
(snímky číslované podle jmen souborů jako v dialozích okna).

Vstup:
  --camera SOUBOR            soubor kamery místo SLOŽKA/camera.txt
  --control SOUBOR           soubor vlícovacích bodů (opakujte pro každý snímek)
  --images SOUBOR            soubor snímkových souřadnic (opakujte)
  --settings SOUBOR          nastavení ze souboru INI (bez volby:
                             SLOŽKA/nastaveni.ini, je-li tam)
  --control-accuracy SOUBOR  přesnost vlícovacích bodů (bez volby:
                             SLOŽKA/presnost.txt, je-li tam)

Výpočet:
  --command PŘÍKAZ           orientation | bundle | xyz | calibration
                             (výchozí xyz; calibration = Kalibrace kamery)
  --method METODA            space = „4 body v prostoru“ (výchozí),
                             plane = „4 body v rovině (Z=0)“

Nastavení (jako dialog „Nastavení“):
  --max-iterations N         Maximální počet iterací (20)
  --tolerance X              Tolerance výpočtu (0,1; s desetinnou tečkou,
                             nebo s desetinným oddělovačem podle --decimal)
  --significance N           Hladina významnosti v procentech (5)
  --robust-weight-percent N  Váha pro robustní odhad v procentech (50)
  --fixed-points N           Počet pevných bodů pro stabilizaci (4)
  --point-percent N          Body vstupující do vyrovnání v procentech (50)
  --robust on|off            Robustní odhad odlehlých měření (on)
  --camera-constant on|off   Vyrovnání konstanty komory (on)
  --solve auto|svd|sparse    Řešení normálních rovnic: Automaticky (auto),
                             SVD, Řídká eliminace
  --calibrate SEZNAM         parametry určované kalibrací kamery, z f, x0,
                             y0, k1, k2, k3, p1, p2 oddělených čárkou (x0 s y0
                             a p1 s p2 jen spolu), none = žádný (výchozí
                             všechny)
  --image-sigma X            Apriorní směrodatná odchylka snímkových
                             souřadnic (1)
  --control-sigma-xy X       Směrodatná odchylka vlícovacích bodů v X, Y
                             v metrech (0 = bez váhy)
  --control-sigma-z X        Směrodatná odchylka vlícovacích bodů v Z
                             v metrech (0 = bez váhy)

Výstup:
  --out SLOŽKA               kam zapsat výsledky (výchozí SLOŽKA/vysledky)
  --decimal , | .            desetinný oddělovač protokolů (výchozí podle
                             místního nastavení)
  --json SOUBOR              souhrn výpočtu ve formátu JSON
  --plots SLOŽKA             obrázky okna Grafy jako PNG, SVG a PDF
  --export csv,dxf,ply       vypočtené body jako body.csv, body.dxf, body.ply
  -h, --help                 tato nápověda
  -v, --version              verze programu

Zapsané soubory: kompletni_protokol.txt, souradnice_xyz_ftest.txt,
souradnice_xyz.txt, opravene_snimkove_souradnice.txt,
opravene_vlicovaci_body.txt, priblizna_orientace.txt,
svazkove_vyrovnani.txt, kontrolni_body.txt, kalibrace_kamery.txt,
kamera_kalibrovana.txt (každý, který okno po příkazu umí uložit); s --plots rezidua_snimek_N a pudorys_xy, pudorys_xz,
pudorys_yz, po kalibraci i zkresleni_objektivu (.png, .svg, .pdf).

Návratový kód: 0 hotovo, 1 výpočet se nezdařil, 2 chybné volby nebo
nečitelný vstup, 130 / 143 přerušeno signálem SIGINT / SIGTERM.
)";
    }
    return R"(Usage: pelvanor-batch [options] [PROJECT_DIR]

Computes a project without the window and writes the same files the window
saves.  From PROJECT_DIR it loads camera.txt, every ctrl_*.txt and every
img_*.txt (images numbered by file name as in the window's dialogs).

Input:
  --camera FILE              camera file instead of PROJECT_DIR/camera.txt
  --control FILE             control point file (repeat for every image)
  --images FILE              image coordinate file (repeat)
  --settings FILE            settings from an INI file (without the option:
                             PROJECT_DIR/nastaveni.ini when it exists)
  --control-accuracy FILE    accuracy of the control points (without the
                             option: PROJECT_DIR/presnost.txt when it exists)

Computation:
  --command COMMAND          orientation | bundle | xyz | calibration
                             (default xyz; calibration = camera calibration)
  --method METHOD            space = four points in space (default),
                             plane = four points in the plane Z = 0

Settings (as the dialog "Nastavení"):
  --max-iterations N         maximum number of iterations (20)
  --tolerance X              tolerance (0.1; with "." or the decimal
                             separator of --decimal)
  --significance N           significance level in percent (5)
  --robust-weight-percent N  weight of the robust estimation in percent (50)
  --fixed-points N           number of fixed points of the datum (4)
  --point-percent N          points entering the adjustment in percent (50)
  --robust on|off            robust estimation of outliers (on)
  --camera-constant on|off   adjust the camera constant (on)
  --solve auto|svd|sparse    solve of the normal equations: automatic
                             (auto), SVD, sparse point elimination
  --calibrate LIST           camera parameters the calibration estimates: a
                             comma-separated list of f, x0, y0, k1, k2, k3,
                             p1, p2 (x0 with y0 and p1 with p2 only
                             together), none for none (default all)
  --image-sigma X            a priori standard deviation of the image
                             coordinates (1)
  --control-sigma-xy X       standard deviation of the control points in
                             X and Y in metres (0 = no weight)
  --control-sigma-z X        standard deviation of the control points in Z
                             in metres (0 = no weight)

Output:
  --out DIR                  where the results go (default PROJECT_DIR/vysledky)
  --decimal , | .            decimal separator of the protocols (default:
                             the locale's)
  --json FILE                summary of the run as JSON
  --plots DIR                the pictures of "Grafy" as PNG, SVG and PDF
  --export csv,dxf,ply       the computed points as body.csv, body.dxf, body.ply
  -h, --help                 this help
  -v, --version              the program's version

Files written: kompletni_protokol.txt, souradnice_xyz_ftest.txt,
souradnice_xyz.txt, opravene_snimkove_souradnice.txt,
opravene_vlicovaci_body.txt, priblizna_orientace.txt,
svazkove_vyrovnani.txt, kontrolni_body.txt, kalibrace_kamery.txt,
kamera_kalibrovana.txt (each one the window can save after the command);
with --plots rezidua_snimek_N and pudorys_xy,
pudorys_xz, pudorys_yz, after a calibration also zkresleni_objektivu
(.png, .svg, .pdf).

Exit status: 0 done, 1 the computation failed, 2 bad usage or unreadable
input, 130 / 143 stopped by SIGINT / SIGTERM.
)";
}

}  // namespace pelvanor::batch
