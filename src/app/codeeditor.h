#ifndef CODEEDITOR_H
#define CODEEDITOR_H

class QPlainTextEdit;

// A plain-text editor set up for code: fixed-pitch font, tabs four spaces wide.
QPlainTextEdit *createCodeEditor();

#endif // CODEEDITOR_H
