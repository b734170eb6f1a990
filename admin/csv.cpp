#include "admin/csv.h"

#include <QCoreApplication>

#include <algorithm>

namespace zavek::admin {

namespace {

bool isBlank(const CsvRecord& record) {
    return record.fields.size() == 1 && record.fields.front().isEmpty();
}

// Length of the well-formed UTF-8 sequence at p (RFC 3629: no overlong forms, no surrogates,
// nothing past U+10FFFF); 0 when there is none, -1 when the left bytes begin one but end early.
qsizetype utf8SequenceAt(const unsigned char* p, qsizetype left) {
    const unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (qsizetype i = 1; i < length; ++i) {
        if (i >= left)
            return -1;
        if (p[i] < (i == 1 ? low : 0x80) || p[i] > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

constexpr qint64 kPiece = 64 * 1024;

// Reads up to one piece more onto the end of bytes; -1 when the device fails.
qint64 readPiece(QIODevice& device, QByteArray& bytes) {
    const qsizetype had = bytes.size();
    bytes.resize(had + kPiece);
    const qint64 got = device.read(bytes.data() + had, kPiece);
    bytes.resize(had + std::max<qint64>(got, 0));
    return got;
}

QString unreadable(const QIODevice& device) {
    return QCoreApplication::translate(
               "zavek::admin::Csv",
               "the file could not be read past this line (%1); check it and import "
               "it again")
        .arg(device.errorString());
}

} // namespace

qsizetype CsvBytes::check(const QByteArray& piece, bool last) {
    const auto* data = reinterpret_cast<const unsigned char*>(piece.constData());
    const qsizetype n = piece.size();
    for (qsizetype i = 0; i < n;) {
        if (data[i] == '\n')
            ++line_;
        if (data[i] == 0) {
            error = CsvError{line_, tr("the file holds a NUL byte; save it as plain "
                                       "UTF-8 text and import it again")};
            return i;
        }
        const qsizetype length = utf8SequenceAt(data + i, n - i);
        if (length < 0 && !last)
            return i;
        if (length <= 0) {
            error = CsvError{line_, tr("the file is not valid UTF-8 (byte 0x%1); save "
                                       "it as UTF-8 and import it again")
                                        .arg(QString::number(data[i], 16)
                                                 .toUpper()
                                                 .rightJustified(2, QLatin1Char('0')))};
            return i;
        }
        i += length;
    }
    return n;
}

void CsvReader::fail(int line, const QString& message) {
    if (!error_)
        error_ = CsvError{line, message};
}

bool CsvReader::fill() {
    if (!device_ || ended_ || error_)
        return false;
    QByteArray piece = std::move(cut_);
    const qint64 got = readPiece(*device_, piece);
    if (got < 0) {
        fail(line_, unreadable(*device_));
        return false;
    }
    ended_ = got == 0;
    const qsizetype whole = bytes_.check(piece, ended_);
    if (bytes_.error) {
        fail(bytes_.error->line, bytes_.error->message);
        return false;
    }
    text_.remove(0, pos_);
    pos_ = 0;
    text_ += QString(decoder_.decode(QByteArrayView(piece.constData(), whole)));
    cut_ = piece.mid(whole);
    return !ended_ || whole > 0;
}

bool CsvReader::available(qsizetype ahead) {
    while (pos_ + ahead >= text_.size())
        if (!fill())
            return false;
    return true;
}

std::optional<CsvRecord> CsvReader::next() {
    if (!started_) {
        started_ = true;
        if (available(0) && text_.at(pos_) == QChar(0xFEFF))
            ++pos_;
    }
    while (!error_ && available(0)) {
        CsvRecord record{line_, {}};
        QString field;
        bool quoted = false;      // inside a quoted field
        bool fieldQuoted = false; // the current field was quoted, so it must end here
        int quoteLine = 0;
        while (!error_ && available(0)) {
            const QChar c = text_.at(pos_);
            if (quoted) {
                if (c == u'"') {
                    if (available(1) && text_.at(pos_ + 1) == u'"') {
                        field += u'"';
                        pos_ += 2;
                        continue;
                    }
                    quoted = false;
                    fieldQuoted = true;
                } else {
                    if (c == u'\n')
                        ++line_;
                    field += c;
                }
                ++pos_;
                continue;
            }
            if (c == u',') {
                record.fields << field;
                field.clear();
                fieldQuoted = false;
            } else if (c == u'\r' || c == u'\n') {
                if (c == u'\r' && available(1) && text_.at(pos_ + 1) == u'\n')
                    ++pos_;
                ++pos_;
                ++line_;
                break;
            } else if (c == u'"') {
                if (!field.isEmpty() || fieldQuoted) {
                    fail(line_, tr("a quote may only start a field; inside a quoted "
                                   "field write it twice (\"\")"));
                    break;
                }
                quoted = true;
                quoteLine = line_;
            } else {
                if (fieldQuoted) {
                    fail(line_, tr("text follows the closing quote of a field"));
                    break;
                }
                field += c;
            }
            ++pos_;
        }
        if (!error_ && quoted)
            fail(quoteLine, tr("the quoted field that starts here is never closed"));
        if (error_)
            break;
        record.fields << field;
        if (!isBlank(record))
            return record;
    }
    return std::nullopt;
}

CsvDocument parseCsv(const QString& text) {
    CsvDocument document;
    CsvReader reader(text);
    while (auto record = reader.next())
        document.records.push_back(std::move(*record));
    document.error = reader.error();
    return document;
}

CsvText decodeCsvBytes(const QByteArray& bytes) {
    CsvBytes check;
    check.check(bytes, true);
    if (check.error)
        return {{}, check.error};
    return {QString::fromUtf8(bytes), std::nullopt};
}

std::optional<CsvError> checkCsvBytes(QIODevice& device) {
    CsvBytes check;
    QByteArray piece;
    for (bool last = false; !last;) {
        const qint64 got = readPiece(device, piece);
        if (got < 0)
            return CsvError{check.line(), unreadable(device)};
        last = got == 0;
        piece.remove(0, check.check(piece, last));
        if (check.error)
            return check.error;
    }
    if (!device.seek(0))
        return CsvError{
            1, QCoreApplication::translate("zavek::admin::Csv",
                                           "the file could not be read again from its start (%1)")
                   .arg(device.errorString())};
    return std::nullopt;
}

QString spreadsheetSafe(const QString& value) {
    if (!value.isEmpty() && QStringLiteral("=+-@\t\r").contains(value.front()))
        return u'\'' + value;
    return value;
}

QString csvField(const QString& value) {
    // A leading byte order mark would be taken for the file's own at the start of a file.
    const bool needsQuotes = value.contains(u',') || value.contains(u'"') ||
                             value.contains(u'\n') || value.contains(u'\r') ||
                             value.startsWith(QChar(0xFEFF));
    if (!needsQuotes)
        return value;
    QString quotedValue = value;
    quotedValue.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quotedValue + u'"';
}

QString csvLine(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const auto& f : fields)
        out << csvField(f);
    return out.join(u',');
}

} // namespace zavek::admin
