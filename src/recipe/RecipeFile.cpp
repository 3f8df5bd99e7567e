#include "recipe/RecipeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <optional>

namespace recipe {

namespace {

constexpr char Separator = ',';

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

QByteArray recipeFileBytes(const QStringList& thirty)
{
    QString text;
    for (const QString& field : thirty)
        text += field + QLatin1Char(Separator);
    return text.toLocal8Bit();
}

QString recipeText(const QByteArray& bytes)
{
    const std::optional<QStringConverter::Encoding> marked =
        QStringConverter::encodingForData(bytes);
    if (!marked || (*marked != QStringConverter::Utf8 && *marked != QStringConverter::Utf16LE &&
                    *marked != QStringConverter::Utf16BE))
        return QString::fromLocal8Bit(bytes);
    // The decoder drops the mark itself.
    QStringDecoder decode(*marked);
    return decode(bytes);
}

QStringList recipeFields(const QByteArray& bytes)
{
    QString rest = recipeText(bytes);
    QStringList fields;
    for (int i = 0; i < FieldCount; ++i) {
        const qsizetype comma = rest.indexOf(QLatin1Char(Separator));
        if (comma < 0) {
            fields << QString();
            continue;
        }
        fields << rest.left(comma);
        rest.remove(0, comma + 1);
    }
    return fields;
}

QString recipeFault(const QByteArray& bytes)
{
    const QString text = recipeText(bytes);
    if (text.contains(QChar(0)))
        return QStringLiteral("holds NUL characters, as UTF-16 text without its byte-order "
                              "mark does");
    const qsizetype commas = text.count(QLatin1Char(Separator));
    const bool valueAfter =
        !QStringView(text).mid(text.lastIndexOf(QLatin1Char(Separator)) + 1).trimmed().isEmpty();
    const qsizetype found = commas + (valueAfter ? 1 : 0);
    if (found != FieldCount)
        return QStringLiteral("holds %1 values instead of %2").arg(found).arg(FieldCount);
    if (valueAfter)
        return QStringLiteral("ends in a value without its comma, as a file cut short does");
    return {};
}

QString recipeName(const QString& path)
{
    const QString file = QFileInfo(path).fileName();
    const qsizetype at = file.indexOf(QStringLiteral(".txt"), 0, Qt::CaseSensitive);
    return at < 0 ? QString() : file.left(at);
}

int firstFieldWithComma(const QStringList& thirty)
{
    for (int i = 0; i < thirty.size(); ++i)
        if (thirty[i].contains(QLatin1Char(Separator)))
            return i;
    return -1;
}

QString saveRecipeFile(const QString& path, const QByteArray& bytes)
{
    // The new text goes to a temporary file beside the old one and replaces it by a rename
    // only once it is all on disk, so a full disk never leaves half a recipe behind.
    QSaveFile file(path);
    const auto failure = [&](const QString& reason) {
        file.cancelWriting();
        return QStringLiteral("The recipe file %1 cannot be written: %2. A recipe file of "
                              "that name stays as it was.")
            .arg(shown(path), reason);
    };
    // Unbuffered, so that a short write shows at once with the system's reason.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(file.errorString());
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return failure(file.errorString());
        done += n;
    }
    // commit() closes the file without telling whether the last bytes went out: a failed
    // flush must stop it from putting a short file in place of the old one.
    if (!file.flush())
        return failure(file.errorString());
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

QString readRecipeFile(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The recipe file %1 cannot be opened: %2.")
            .arg(shown(path), file.errorString());
    const QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("The recipe file %1 cannot be read: %2.")
            .arg(shown(path), file.errorString());
    bytes = all;
    return {};
}

} // namespace recipe
