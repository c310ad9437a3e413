#ifndef DOCUMENTFILE_H
#define DOCUMENTFILE_H

#include "core/textfile.h"

#include <QString>

// What the program knows of the file behind one editor since it last read or wrote it.
struct DocumentFile
{
    QString savedText;       // the editor's text that the file holds; equal text is not written
    FileStamp stamp;         // the file then, to notice when something else changes it
    QString readError;       // why it could not be read: it is then never written over
    QString savingChanges;   // what a save would change beyond the edit, asked about first
};

#endif // DOCUMENTFILE_H
