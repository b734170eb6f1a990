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

QString csvField(const QString& value) {
    const bool needsQuotes = value.contains(u',') || value.contains(u'"') ||
                             value.contains(u'\n') || value.contains(u'\r');
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
