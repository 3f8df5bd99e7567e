#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Recipe files: the thirty set values in recipe order (Monitor 1 slots 1..10, then Monitor 2,
// then Monitor 3), each followed by one ",", with no header, no byte-order mark and no line
// end, in the system encoding. Fields have no quoting: a value holding a comma cannot be kept.
namespace recipe {

constexpr int FieldCount = 30;

// The file's bytes for the thirty texts.
QByteArray recipeFileBytes(const QStringList& thirty);

// The text of a file: UTF-8 or UTF-16 after their byte-order mark, otherwise the system
// encoding (a file saved as "Unicode" by a text editor on Windows carries a UTF-16 mark).
QString recipeText(const QByteArray& bytes);

// The thirty texts of a file: each field ends at the next comma; once no comma is left the
// remaining fields are empty, and whatever follows the thirtieth comma is ignored.
QStringList recipeFields(const QByteArray& bytes);

// What makes the bytes no recipe: NUL characters (UTF-16 without its mark), "holds N values
// instead of 30" (a value after the last comma counts too), or a thirtieth value without its
// comma, as in a file cut short. Empty
// when they hold exactly thirty comma-ended fields; white space after the last comma, such
// as the line end an editor adds, is no field.
QString recipeFault(const QByteArray& bytes);

// The recipe's name shown on the page: the file name without its folder, up to its first
// ".txt" (case-sensitive); empty when the name holds no ".txt".
QString recipeName(const QString& path);

// Index (0..29) of the first text that holds a comma, -1 when none does.
int firstFieldWithComma(const QStringList& thirty);

// Replaces the file at `path` with `bytes` as one step: on any failure the file that was there
// stays as it was. Empty on success, otherwise a message naming the file and the reason.
QString saveRecipeFile(const QString& path, const QByteArray& bytes);

// The whole file into `bytes`. Empty on success, otherwise a message naming the file and the
// reason, and `bytes` is left alone.
QString readRecipeFile(const QString& path, QByteArray& bytes);

} // namespace recipe
