#pragma once
// The script language of pelvanor-drive: one command per line, UTF-8,
// arguments separated by blanks, double quotes around an argument with
// blanks (they may also stand inside an argument: LabeledEdit2="0,1"), and
// "#" outside quotes starting a comment.

#include <QString>
#include <QStringList>

#include <vector>

namespace pelvanor::drive {

struct ScriptCommand {
    int line = 0;      // 1-based line of the script
    QString verb;      // open, cancel, save, click, type, choose, settings, select, panel, log, messages, menu, screenshot, geometry
    QStringList args;  // the arguments as written, quotes removed
    QStringList path;  // click: the captions of the path
    // click on "Vybrat body" directly followed by a select line: the rows
    // that select clicks inside the dialog.
    bool has_selection = false;
    std::vector<int> rows;
};

// Splits one line into arguments; false with `error` on an open quote.
bool Tokenize(const QString& line, QStringList& tokens, QString& error);

// Parses the whole script.  False with a message naming the line for the
// first malformed line; nothing has run then.
bool ParseScript(const QString& text, std::vector<ScriptCommand>& commands, QString& error);

}  // namespace pelvanor::drive
