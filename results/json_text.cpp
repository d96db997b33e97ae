#include "results/json_text.h"

#include <QJsonArray>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

void appendNumber(QByteArray &out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[32];
    std::to_chars_result written;
    // Below 2^53 every whole double is an exact integer: no exponent, no point.
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
        written = std::to_chars(buffer, buffer + sizeof buffer, std::int64_t(value));
    else
        written = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(written.ptr - buffer));
}

void appendString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void appendValue(QByteArray &out, const QJsonValue &value, JsonLayout layout, int depth);

void newLine(QByteArray &out, JsonLayout layout, int depth)
{
    if (layout == JsonLayout::Indented) {
        out += '\n';
        out += QByteArray(4 * depth, ' ');
    }
}

void appendArray(QByteArray &out, const QJsonArray &array, JsonLayout layout, int depth)
{
    out += '[';
    if (array.isEmpty()) {
        out += ']';
        return;
    }
    bool first = true;
    for (const QJsonValue &element : array) {
        if (!first)
            out += ',';
        first = false;
        newLine(out, layout, depth + 1);
        appendValue(out, element, layout, depth + 1);
    }
    newLine(out, layout, depth);
    out += ']';
}

void appendObject(QByteArray &out, const QJsonObject &object, JsonLayout layout, int depth)
{
    out += '{';
    if (object.isEmpty()) {
        out += '}';
        return;
    }
    bool first = true;
    for (auto member = object.begin(); member != object.end(); ++member) {
        if (!first)
            out += ',';
        first = false;
        newLine(out, layout, depth + 1);
        appendString(out, member.key());
        out += layout == JsonLayout::Indented ? ": " : ":";
        appendValue(out, member.value(), layout, depth + 1);
    }
    newLine(out, layout, depth);
    out += '}';
}

void appendValue(QByteArray &out, const QJsonValue &value, JsonLayout layout, int depth)
{
    switch (value.type()) {
    case QJsonValue::Bool: out += value.toBool() ? "true" : "false"; break;
    case QJsonValue::Double: appendNumber(out, value.toDouble()); break;
    case QJsonValue::String: appendString(out, value.toString()); break;
    case QJsonValue::Array: appendArray(out, value.toArray(), layout, depth); break;
    case QJsonValue::Object: appendObject(out, value.toObject(), layout, depth); break;
    case QJsonValue::Null:
    case QJsonValue::Undefined: out += "null"; break;
    }
}

} // namespace

QByteArray jsonText(const QJsonValue &value, JsonLayout layout)
{
    QByteArray out;
    appendValue(out, value, layout, 0);
    return out;
}

double shortestDouble(float value)
{
    if (!std::isfinite(value))
        return double(value);
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double widened = double(value);
    std::from_chars(buffer, written.ptr, widened);
    return widened;
}
