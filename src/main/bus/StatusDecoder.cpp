#include "StatusDecoder.h"

#include "UiServices.h"

#include <QTime>

#include <array>

namespace {

struct Entry
{
    const char* code;
    const char* text;
};

// Board and controller codes.
constexpr std::array<Entry, 21> unitTable{{
    {"0000", " OK"},
    {"0001", " no release by SPS"},
    {"0002", ""},
    {"0003", " no correct command of SCI"},
    {"0004", " Numerik off"},
    {"0005", " no correct command"},
    {"0006", " no complete control parameters"},
    {"0007", " A-/V-parameters not complete"},
    {"0008", " selekt ??"},
    {"0009", " funktion doesn't work at the moment"},
    {"000A", " parameter NIO"},
    {"000B", ""},
    {"000C", ""},
    {"000D", ""},
    {"000E", ""},
    {"000F", " SCI NIO"},
    {"0010", " SCI buffer - overflow"},
    {"0011", ""},
    {"0012", " Numerik on"},
    {"0013", ""},
    {"0014", " different funktion working"},
}};

// Axis codes. The texts are the controllers' documented wording, typos and
// trailing blanks included; "can\u00B4t" uses the acute accent.
constexpr std::array<Entry, 35> axisTable{{
    {"0000", " OK"},
    {"0001", " no realease by SPS (emergency - off - switch)"},
    {"0002", ""},
    {"0003", " no correct command"},
    {"0004", " Numerik off"},
    {"0005", " no correct string command"},
    {"0006", " no complete control parameters"},
    {"0007", " A-/V-parameters not complete"},
    {"0008", " trailing - control"},
    {"0009", ""},
    {"000A", " parameter NIO"},
    {"000B", " impuls - parameters not available"},
    {"000C", " Software - Limit Negativ "},
    {"000D", " Software - Limit Positiv "},
    {"000E", ""},
    {"000F", " SCI NIO"},
    {"0010", " SCI buffer - overflow"},
    {"0011", ""},
    {"0012", " Numerik on"},
    {"0013", " endposition beyond Software - limit"},
    {"0014", " different funktion working"},
    {"0015", " no axis - movement possible ?Limit?"},
    {"0016", " no axis - movement possible ?Limit?"},
    {"0017", " positioning error"},
    {"0018", " ?? unknown error"},
    {"0019", " Limit E5 available"},
    {"001A", " Limit E6 available"},
    {"001B", " Limit E6 available"},
    {"001C", " Super-Pos Zielfenster not reachable"},
    {"001D", " index not found"},
    {"001E", " index can\u00B4t using"},
    {"001F", " invalid driving-table"},
    {"0020", " table-drive not dialed"},
    {"0021", " index search-distance exceeded"},
    {"0022", " maximum verfahrweg oversized"},
}};

template <std::size_t N>
QString lookup(const std::array<Entry, N>& table, const QString& code)
{
    for (const Entry& e : table) {
        if (code == QLatin1String(e.code))
            return QString::fromUtf8(e.text);
    }
    return {};
}

}  // namespace

namespace StatusDecoder {

QString Fehlertabelle_Einheit(const QString& code)
{
    return lookup(unitTable, code);
}

QString Fehlertabelle_Achse(const QString& code)
{
    return lookup(axisTable, code);
}

Decoded decode(const QString& reply)
{
    // Character positions are counted from 1 as the protocol describes them.
    const QString unitDigit = reply.mid(1, 1);
    QString code = reply.mid(5, 4);
    const bool statusReply = reply.mid(1, 3) == QLatin1String("0ST");
    const QString axisCode = statusReply ? reply.mid(9, 4) : QString();

    QString text;
    if (unitDigit == QLatin1String("0") || statusReply)
        text = Fehlertabelle_Einheit(code);
    if (unitDigit == QLatin1String("1") || statusReply) {
        if (!axisCode.isEmpty()) {
            code = axisCode;
            text += QLatin1String(" + ");
        }
        text += Fehlertabelle_Achse(code);
    }
    return {text, code};
}

bool isLimitCode(const QString& code)
{
    return code == QLatin1String("0015") || code == QLatin1String("0016") || code == QLatin1String("0019") ||
           code == QLatin1String("001A");
}

}  // namespace StatusDecoder

void fehler_anzeigen(const QString& reply, IUiServices& ui, const std::function<bool()>& referenceRunActive)
{
    ui.beep();
    const StatusDecoder::Decoded d = StatusDecoder::decode(reply);
    if (StatusDecoder::isLimitCode(d.code) && referenceRunActive && referenceRunActive())
        return;
    const QString title = QStringLiteral("Error !   ") + QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    ui.message(reply + d.text, title, MsgButtons::Ok, MsgIcon::Exclamation);
}
