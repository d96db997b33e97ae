// A JSON file parsed in one go, with messages that name the file (and, for a
// syntax error, the line). Only the readers of this folder include it.
#pragma once

#include <QString>

#include <simdjson.h>

#include <cstdint>
#include <string>

// The file's bytes with the padding the parsers need. Throws
// std::runtime_error naming the file when it cannot be read.
simdjson::padded_string readJsonFile(const QString &path);

// "FILE: line L: what the syntax error is (not valid JSON)" when the bytes
// are no JSON, otherwise empty.
std::string jsonSyntaxError(const QString &path, const simdjson::padded_string &bytes);

// The line (from 1) of a place in the bytes.
std::size_t lineAt(const simdjson::padded_string &bytes, const char *place);

class JsonDocument
{
public:
    // Throws std::runtime_error naming the file when it cannot be read or is
    // no JSON.
    explicit JsonDocument(const QString &path);
    JsonDocument(const JsonDocument &) = delete;
    JsonDocument &operator=(const JsonDocument &) = delete;

    simdjson::dom::element root() const { return document; }
    const QString &path() const { return file; }

    // "FILE: what", thrown as std::runtime_error.
    [[noreturn]] void fail(const std::string &what) const;

private:
    QString file;
    simdjson::dom::parser parser;
    simdjson::dom::element document;
};

// Readers of one value with the file's message on a wrong type. where names
// the value for the message, e.g. "annotation 12".
namespace json {
simdjson::dom::array array(const JsonDocument &file, simdjson::dom::element value, const std::string &where);
simdjson::dom::object object(const JsonDocument &file, simdjson::dom::element value, const std::string &where);
// A member that must be there.
simdjson::dom::element member(const JsonDocument &file, simdjson::dom::object object, const char *key,
                              const std::string &where);
bool hasMember(simdjson::dom::object object, const char *key);
std::int64_t integer(const JsonDocument &file, simdjson::dom::element value, const std::string &where);
// A finite number.
double number(const JsonDocument &file, simdjson::dom::element value, const std::string &where);
std::string text(const JsonDocument &file, simdjson::dom::element value, const std::string &where);
// [x, y, width, height], finite, width and height not negative.
void box(const JsonDocument &file, simdjson::dom::element value, const std::string &where, double out[4]);
} // namespace json
