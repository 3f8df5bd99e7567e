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

// The thirty texts of a file: each field ends at the next comma; once no comma is left the
// remaining fields are empty, and whatever follows the thirtieth comma is ignored.
QStringList recipeFields(const QByteArray& bytes);

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
