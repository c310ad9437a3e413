#ifndef TRASH_H
#define TRASH_H

#include <QString>

// Moves the file at path to the desktop's trash, from where the user can take it back; it is
// never deleted. The home trash ($XDG_DATA_HOME/Trash) is made when it is missing. False, with
// the reason in errorString when given, when the file stays where it is.
bool moveFileToTrash(const QString &path, QString *errorString = nullptr);

#endif // TRASH_H
