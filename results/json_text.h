// JSON text whose numbers read back exactly and are as short as that allows:
// 5.6 rather than 5.6000000000000005. Result lines and the runner's figures
// are written through here.
#pragma once

#include <QByteArray>
#include <QJsonValue>

enum class JsonLayout { Compact, Indented };

// The value as JSON text: Compact on one line, or Indented by four spaces per
// level with one member or element per line. Keys come in the order the
// object keeps them (sorted). A number is written in the shortest form that
// reads back to the same double, a whole number below 2^53 without a point;
// NaN and the infinities, which JSON cannot hold, are written as null.
QByteArray jsonText(const QJsonValue &value, JsonLayout layout = JsonLayout::Compact);

// The double whose shortest form is the float's own shortest form: a
// probability kept in single precision is written 0.659001, not
// 0.6590009927749634. NaN and the infinities pass unchanged.
double shortestDouble(float value);
