#include "evaluation/json_document.h"
#include "evaluation/native_path.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <stdexcept>

simdjson::padded_string readJsonFile(const QString &path)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot read " + nativePath(path) + ": " + input.errorString().toStdString());
    const qint64 size = input.size();
    simdjson::padded_string buffer(std::size_t(std::max<qint64>(size, 0)));
    if (size > 0 && input.read(buffer.data(), size) != size)
        throw std::runtime_error("Cannot read " + nativePath(path) + ": " + input.errorString().toStdString());
    return buffer;
}

std::size_t lineAt(const simdjson::padded_string &bytes, const char *place)
{
    const char *begin = bytes.data();
    const char *end = place >= begin && place <= begin + bytes.size() ? place : begin;
    return 1 + std::size_t(std::count(begin, end, '\n'));
}

// simdjson says what is wrong but not where: the toolkit's own parser does.
std::string jsonSyntaxError(const QString &path, const simdjson::padded_string &bytes)
{
    QJsonParseError error;
    QJsonDocument::fromJson(QByteArray::fromRawData(bytes.data(), int(bytes.size())), &error);
    if (error.error == QJsonParseError::NoError)
        return {};
    return nativePath(path) + ": line " + std::to_string(lineAt(bytes, bytes.data() + error.offset)) + ": "
           + error.errorString().toStdString() + " (not valid JSON)";
}

JsonDocument::JsonDocument(const QString &path) : file(path)
{
    const simdjson::padded_string buffer = readJsonFile(path);
    const simdjson::error_code error = parser.parse(buffer).get(document);
    if (error) {
        const std::string syntax = jsonSyntaxError(path, buffer);
        throw std::runtime_error(!syntax.empty() ? syntax
                                                 : nativePath(path) + ": " + simdjson::error_message(error)
                                                       + " (not valid JSON)");
    }
}

void JsonDocument::fail(const std::string &what) const
{
    throw std::runtime_error(nativePath(file) + ": " + what);
}

namespace json {

simdjson::dom::array array(const JsonDocument &file, simdjson::dom::element value, const std::string &where)
{
    simdjson::dom::array result;
    if (value.get(result))
        file.fail(where + " is not a list");
    return result;
}

simdjson::dom::object object(const JsonDocument &file, simdjson::dom::element value, const std::string &where)
{
    simdjson::dom::object result;
    if (value.get(result))
        file.fail(where + " is not an object");
    return result;
}

simdjson::dom::element member(const JsonDocument &file, simdjson::dom::object object, const char *key,
                              const std::string &where)
{
    simdjson::dom::element result;
    if (object[key].get(result))
        file.fail(where + " has no \"" + key + "\"");
    return result;
}

bool hasMember(simdjson::dom::object object, const char *key)
{
    simdjson::dom::element unused;
    return !object[key].get(unused);
}

std::int64_t integer(const JsonDocument &file, simdjson::dom::element value, const std::string &where)
{
    std::int64_t result = 0;
    if (value.get(result))
        file.fail(where + " is not a whole number");
    return result;
}

double number(const JsonDocument &file, simdjson::dom::element value, const std::string &where)
{
    double result = 0.0;
    if (value.get(result) || !std::isfinite(result))
        file.fail(where + " is not a number");
    return result;
}

std::string text(const JsonDocument &file, simdjson::dom::element value, const std::string &where)
{
    std::string_view result;
    if (value.get(result))
        file.fail(where + " is not a text");
    return std::string(result);
}

void box(const JsonDocument &file, simdjson::dom::element value, const std::string &where, double out[4])
{
    simdjson::dom::array list;
    if (value.get(list) || list.size() != 4)
        file.fail(where + " is not a box [x, y, width, height]");
    std::size_t i = 0;
    for (simdjson::dom::element item : list) {
        if (item.get(out[i]) || !std::isfinite(out[i]))
            file.fail(where + " is not a box [x, y, width, height]");
        ++i;
    }
    if (out[2] < 0.0 || out[3] < 0.0)
        file.fail(where + " has a negative width or height");
}

} // namespace json
