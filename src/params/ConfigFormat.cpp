#include "ConfigFormat.h"

#include "ValueFile.h"

#include <algorithm>
#include <type_traits>

std::optional<QByteArray> writeConfig(const ConfigContent& c, QString* error)
{
    ValueFileWriter w;
    for (const Achsdatensatz& r : c.axes) {
        everyField(r, [&w](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>)
                w.writeString(v);
            else if constexpr (std::is_same_v<T, int>)
                w.writeInteger(v);
            else
                w.writeDouble(v);
        });
    }
    for (int i = 0; i < ConfigContent::FirstInitCommands; ++i)
        w.writeString(c.init[std::size_t(i)]);
    for (const QString& s : c.init2)
        w.writeString(s);
    for (int f : c.optionValues)
        w.writeInteger(f);
    for (int d : c.drehantrieb)
        w.writeInteger(d);
    for (int i = ConfigContent::FirstInitCommands; i < ConfigContent::InitCommands; ++i)
        w.writeString(c.init[std::size_t(i)]);
    w.writeInteger(c.rundungsstelle);
    if (!w.ok()) {
        if (error)
            *error = w.error();
        return std::nullopt;
    }
    return w.data();
}

namespace {
// One axis record, value by value with its own type; false at the first
// value of the wrong type.
bool readRecord(ValueFileReader& r, Achsdatensatz& rec)
{
    bool ok = true;
    everyField(rec, [&](auto& v) {
        if (!ok)
            return;
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, QString>) {
            const auto s = r.readString();
            ok = s.has_value();
            if (ok)
                v = *s;
        } else if constexpr (std::is_same_v<T, int>) {
            const auto n = r.readInteger();
            ok = n.has_value();
            if (ok)
                v = *n;
        } else {
            const auto d = r.readDouble();
            ok = d.has_value();
            if (ok)
                v = *d;
        }
    });
    return ok;
}
}  // namespace

std::optional<StartConfig> parseStartConfig(const QByteArray& bytes)
{
    ValueFileReader r(bytes);
    // Values between the end of the second record and the rotary flags: 29
    // records, both command lists' first parts and the option flags (nine in
    // the saved layout, seven in the older one).
    const int records = ConfigContent::Achsen - 2;
    const int before =
        records * Achsdatensatz::ValueCount + ConfigContent::FirstInitCommands + ConfigContent::Init2Commands;
    int gap = 0;
    if (r.count() == ConfigContent::ValueCount)
        gap = before + ConfigContent::Optionen;
    else if (r.count() == ConfigContent::ValueCount - 2)
        gap = before + ConfigContent::Optionen - 2;
    else
        return std::nullopt;
    StartConfig out;
    if (!r.skip(Achsdatensatz::ValueCount) || !readRecord(r, out.record))
        return std::nullopt;
    // The rotary flag of the file's second axis.
    if (!r.skip(gap + 1))
        return std::nullopt;
    const auto flag = r.readInteger();
    if (!flag)
        return std::nullopt;
    out.drehantrieb = *flag;
    return out;
}

std::optional<ConfigContent> parseConfig(const QByteArray& bytes, QString* error)
{
    ValueFileReader r(bytes);
    ConfigContent c;
    auto fail = [&](const char* what) -> std::optional<ConfigContent> {
        if (error)
            *error = QStringLiteral("value %1: %2").arg(r.position() + 1).arg(QLatin1String(what));
        return std::nullopt;
    };
    if (r.count() < ConfigContent::ValueCount)
        return fail("file too short");

    for (Achsdatensatz& rec : c.axes)
        if (!readRecord(r, rec))
            return fail("axis record value of the wrong type");
    auto readStrings = [&](QString* target, int n) {
        for (int i = 0; i < n; ++i) {
            const auto s = r.readString();
            if (!s)
                return false;
            target[i] = *s;
        }
        return true;
    };
    if (!readStrings(c.init.data(), ConfigContent::FirstInitCommands))
        return fail("command expected");
    if (!readStrings(c.init2.data(), ConfigContent::Init2Commands))
        return fail("command expected");
    for (int& f : c.optionValues) {
        const auto n = r.readInteger();
        if (!n || *n < 0 || *n > 2)
            return fail("option flag 0, 1 or 2 expected");
        f = *n;
    }
    for (int& d : c.drehantrieb) {
        const auto n = r.readInteger();
        if (!n)
            return fail("rotary flag expected");
        d = *n;
    }
    if (!readStrings(c.init.data() + ConfigContent::FirstInitCommands,
                     ConfigContent::InitCommands - ConfigContent::FirstInitCommands))
        return fail("command expected");
    // A rounding position the list does not have is taken as its nearest end.
    const auto stelle = r.readInteger();
    if (!stelle)
        return fail("rounding digits expected");
    c.rundungsstelle = std::clamp(*stelle, 0, 5);
    return c;
}
