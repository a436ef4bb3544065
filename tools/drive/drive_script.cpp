#include "tools/drive/drive_script.h"

#include <QRegularExpression>

namespace pelvanor::drive {

namespace {

const QString kSelectButton = QStringLiteral("Vybrat body");

bool IsBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

bool ParseCount(const QString& text, int& value) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch()) return false;
    value = text.toInt();
    return true;
}

bool IsSettingsField(const QString& name) {
    static const QStringList names = {QStringLiteral("LabeledEdit1"), QStringLiteral("LabeledEdit2"),
                                      QStringLiteral("LabeledEdit3"), QStringLiteral("LabeledEdit4"),
                                      QStringLiteral("LabeledEdit5"), QStringLiteral("ComboBox1"), QStringLiteral("ComboBox2"),
                                      QStringLiteral("CheckBox1"),    QStringLiteral("CheckBox2"),
                                      QStringLiteral("CheckBox3"),    QStringLiteral("CheckBox4"),
                                      QStringLiteral("CheckBox5"),    QStringLiteral("CheckBox6"),
                                      QStringLiteral("CheckBox7"),    QStringLiteral("CheckBox8")};
    return names.contains(name);
}

// Checks the arguments of one command; an empty result means well formed.
QString CheckCommand(ScriptCommand& command) {
    const QString& verb = command.verb;
    const QStringList& args = command.args;
    const auto count_is = [&](qsizetype n) { return args.size() == n; };
    if (verb == QLatin1String("open")) {
        if (args.isEmpty()) return QStringLiteral("open needs at least one file");
    } else if (verb == QLatin1String("cancel")) {
        if (!count_is(0)) return QStringLiteral("cancel takes no argument");
    } else if (verb == QLatin1String("close") || verb == QLatin1String("finish")) {
        if (!count_is(0)) return verb + QStringLiteral(" takes no argument");
    } else if (verb == QLatin1String("save") || verb == QLatin1String("panel") || verb == QLatin1String("log") ||
               verb == QLatin1String("messages") || verb == QLatin1String("menu") ||
               verb == QLatin1String("screenshot") || verb == QLatin1String("geometry") ||
               verb == QLatin1String("window") || verb == QLatin1String("progress")) {
        if (!count_is(1)) return verb + QStringLiteral(" takes exactly one file");
    } else if (verb == QLatin1String("wait")) {
        if (args.isEmpty() || args[0] != QLatin1String("progress") || args.size() > 2)
            return QStringLiteral("wait takes \"progress\" and at most one text (quote a text with blanks)");
    } else if (verb == QLatin1String("click") || verb == QLatin1String("start")) {
        if (args.isEmpty()) return verb + QStringLiteral(" needs a caption path");
        const QStringList parts = args.join(QLatin1Char(' ')).split(QLatin1Char('>'));
        for (const QString& part : parts) {
            const QString caption = part.trimmed();
            if (caption.isEmpty()) return QStringLiteral("click: empty caption in the path");
            command.path << caption;
        }
    } else if (verb == QLatin1String("type")) {
        static const QRegularExpression field(QStringLiteral("^LabeledEdit[1-8]$"));
        if (!count_is(2)) return QStringLiteral("type takes a field name and one text (quote a text with blanks)");
        if (!field.match(args[0]).hasMatch()) return QStringLiteral("type: no field ") + args[0];
    } else if (verb == QLatin1String("choose")) {
        int index = 0;
        if (!count_is(2)) return QStringLiteral("choose takes a combo box name and an index");
        if (args[0] != QLatin1String("ComboBox1") && args[0] != QLatin1String("ComboBox2")) {
            return QStringLiteral("choose: no combo box ") + args[0];
        }
        if (!ParseCount(args[1], index)) return QStringLiteral("choose: bad index ") + args[1];
    } else if (verb == QLatin1String("settings")) {
        if (count_is(1) && args[0] == QLatin1String("default")) return QString();
        for (const QString& arg : args) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            if (eq <= 0) return QStringLiteral("settings: expected NAME=TEXT or default, got ") + arg;
            const QString name = arg.left(eq);
            const QString value = arg.mid(eq + 1);
            if (!IsSettingsField(name)) return QStringLiteral("settings: no field ") + name;
            if (name.startsWith(QLatin1String("CheckBox")) && value != QLatin1String("0") &&
                value != QLatin1String("1")) {
                return QStringLiteral("settings: ") + name + QStringLiteral(" takes 0 or 1");
            }
            int entry = 0;
            if (name == QLatin1String("ComboBox2") && (!ParseCount(value, entry) || entry > 2)) {
                return QStringLiteral("settings: ComboBox2 takes an entry 0, 1 or 2");
            }
        }
    } else if (verb == QLatin1String("plot")) {
        if (args.isEmpty()) return QStringLiteral("plot needs a subcommand");
        const QString& what = args[0];
        int value = 0;
        if (what == QLatin1String("view")) {
            if (!count_is(2) || (args[1] != QStringLiteral("Rezidua snímku") && args[1] != QStringLiteral("Půdorys bloku") &&
                                 args[1] != QStringLiteral("Zkreslení objektivu")))
                return QStringLiteral(
                    "plot view takes \"Rezidua snímku\", \"Půdorys bloku\" or \"Zkreslení objektivu\"");
        } else if (what == QLatin1String("image")) {
            if (!count_is(2) || !ParseCount(args[1], value) || value < 1) return QStringLiteral("plot image takes an image number");
        } else if (what == QLatin1String("plane")) {
            static const QStringList planes = {QStringLiteral("X–Y"), QStringLiteral("X–Z"), QStringLiteral("Y–Z")};
            if (!count_is(2) || !planes.contains(args[1])) return QStringLiteral("plot plane takes X–Y, X–Z or Y–Z");
        } else if (what == QLatin1String("numbers")) {
            if (!count_is(2) || (args[1] != QLatin1String("0") && args[1] != QLatin1String("1")))
                return QStringLiteral("plot numbers takes 0 or 1");
        } else if (what == QLatin1String("size")) {
            int height = 0;
            if (!count_is(3) || !ParseCount(args[1], value) || !ParseCount(args[2], height))
                return QStringLiteral("plot size takes a width and a height");
        } else if (what == QLatin1String("zoom")) {
            bool ok = false;
            if (!count_is(2) || !(args[1].toDouble(&ok) > 0.0) || !ok) return QStringLiteral("plot zoom takes a factor");
        } else if (what == QLatin1String("fit") || what == QLatin1String("export")) {
            if (!count_is(1)) return QStringLiteral("plot ") + what + QStringLiteral(" takes no argument");
        } else if (what == QLatin1String("screenshot")) {
            if (!count_is(2)) return QStringLiteral("plot screenshot takes exactly one file");
        } else {
            return QStringLiteral("plot: unknown subcommand ") + what;
        }
    } else if (verb == QLatin1String("select")) {
        for (const QString& arg : args) {
            int row = 0;
            if (!ParseCount(arg, row)) return QStringLiteral("select: bad row ") + arg;
            command.rows.push_back(row);
        }
    } else {
        return QStringLiteral("unknown command ") + verb;
    }
    return QString();
}

}  // namespace

bool Tokenize(const QString& line, QStringList& tokens, QString& error) {
    tokens.clear();
    QString current;
    bool in_token = false;
    bool quoted = false;
    for (const QChar c : line) {
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            in_token = true;
        } else if (c == QLatin1Char('#')) {
            break;
        } else if (IsBlank(c)) {
            if (in_token) tokens << current;
            current.clear();
            in_token = false;
        } else {
            current += c;
            in_token = true;
        }
    }
    if (quoted) {
        error = QStringLiteral("a double quote is not closed");
        return false;
    }
    if (in_token) tokens << current;
    return true;
}

bool ParseScript(const QString& text, std::vector<ScriptCommand>& commands, QString& error) {
    commands.clear();
    QString body = text;
    if (body.startsWith(QChar(0xFEFF))) body.remove(0, 1);
    const QStringList lines = body.split(QLatin1Char('\n'));
    // The line of the "start" whose "finish" is still to come, 0 if none.
    int open_start = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        QStringList tokens;
        QString problem;
        const int number = static_cast<int>(i + 1);
        if (!Tokenize(line, tokens, problem)) {
            error = QStringLiteral("line %1: %2").arg(number).arg(problem);
            return false;
        }
        if (tokens.isEmpty()) continue;
        ScriptCommand command;
        command.line = number;
        command.verb = tokens.takeFirst();
        command.args = tokens;
        problem = CheckCommand(command);
        if (!problem.isEmpty()) {
            error = QStringLiteral("line %1: %2").arg(number).arg(problem);
            return false;
        }
        // "start" ... "finish" enclose the lines run during one computation;
        // "wait" belongs inside.
        if (command.verb == QLatin1String("start")) {
            if (open_start != 0) {
                error = QStringLiteral("line %1: start inside the start of line %2").arg(number).arg(open_start);
                return false;
            }
            open_start = number;
        } else if (command.verb == QLatin1String("finish")) {
            if (open_start == 0) {
                error = QStringLiteral("line %1: finish without start").arg(number);
                return false;
            }
            open_start = 0;
        } else if (command.verb == QLatin1String("wait") && open_start == 0) {
            error = QStringLiteral("line %1: wait outside start ... finish").arg(number);
            return false;
        }
        if (command.verb == QLatin1String("select")) {
            // The rows belong to the selection dialog the previous line
            // opened.
            if (commands.empty() || commands.back().verb != QLatin1String("click") ||
                commands.back().path != QStringList{kSelectButton} || commands.back().has_selection) {
                error = QStringLiteral("line %1: select must directly follow \"click Vybrat body\"").arg(number);
                return false;
            }
            commands.back().has_selection = true;
            commands.back().rows = command.rows;
            continue;
        }
        commands.push_back(std::move(command));
    }
    if (open_start != 0) {
        error = QStringLiteral("line %1: start without finish").arg(open_start);
        return false;
    }
    return true;
}

}  // namespace pelvanor::drive
