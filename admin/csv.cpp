#include "admin/csv.h"

namespace zavek::admin {

namespace {

bool isBlank(const CsvRecord& record) {
    return record.fields.size() == 1 && record.fields.front().isEmpty();
}

} // namespace

CsvDocument parseCsv(const QString& text) {
    CsvDocument document;
    const QChar bom(0xFEFF);
    qsizetype i = text.startsWith(bom) ? 1 : 0;
    const qsizetype n = text.size();
    int line = 1;
    CsvRecord record{line, {}};
    QString field;
    bool quoted = false;      // inside a quoted field
    bool fieldQuoted = false; // the current field was quoted, so it must end here
    int quoteLine = 0;

    auto endField = [&] {
        record.fields << field;
        field.clear();
        fieldQuoted = false;
    };
    auto endRecord = [&] {
        endField();
        if (!isBlank(record))
            document.records.push_back(std::move(record));
        record = CsvRecord{line, {}};
    };

    while (i < n) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    i += 2;
                    continue;
                }
                quoted = false;
                fieldQuoted = true;
            } else {
                if (c == u'\n')
                    ++line;
                field += c;
            }
            ++i;
            continue;
        }
        if (c == u',') {
            endField();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            ++line;
            endRecord();
        } else if (c == u'"') {
            if (!field.isEmpty() || fieldQuoted) {
                document.error = CsvError{
                    line, QStringLiteral("a quote may only start a field; inside a quoted field "
                                         "write it twice (\"\")")};
                return document;
            }
            quoted = true;
            quoteLine = line;
        } else {
            if (fieldQuoted) {
                document.error =
                    CsvError{line, QStringLiteral("text follows the closing quote of a field")};
                return document;
            }
            field += c;
        }
        ++i;
    }
    if (quoted) {
        document.error = CsvError{
            quoteLine, QStringLiteral("the quoted field that starts here is never closed")};
        return document;
    }
    if (!field.isEmpty() || fieldQuoted || !record.fields.isEmpty())
        endRecord();
    return document;
}

namespace {

// Length of the well-formed UTF-8 sequence at p (RFC 3629: no overlong forms, no surrogates,
// nothing past U+10FFFF); 0 when there is none.
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
    if (left < length || p[1] < low || p[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

} // namespace

CsvText decodeCsvBytes(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    int line = 1;
    for (qsizetype i = 0; i < n;) {
        if (data[i] == '\n')
            ++line;
        if (data[i] == 0)
            return {{},
                    CsvError{line, QStringLiteral("the file holds a NUL byte; save it as plain "
                                                  "UTF-8 text and import it again")}};
        const qsizetype length = utf8SequenceAt(data + i, n - i);
        if (length == 0)
            return {{},
                    CsvError{line, QStringLiteral("the file is not valid UTF-8 (byte 0x%1); save "
                                                  "it as UTF-8 and import it again")
                                       .arg(QString::number(data[i], 16)
                                                .toUpper()
                                                .rightJustified(2, QLatin1Char('0')))}};
        i += length;
    }
    return {QString::fromUtf8(bytes), std::nullopt};
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
