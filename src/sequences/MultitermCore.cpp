#include "MultitermCore.h"

#include "Clock.h"
#include "Format.h"
#include "LineReply.h"
#include "Protocol.h"
#include "SerialPort.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <QScopedValueRollback>

#include <cmath>

namespace {
struct TypeEntry
{
    int unitType;
    const char* text;
    const char* name;
};
const TypeEntry ProbeTypes[] = {{0, "0", "Mot"},  {1, "1", "IK"}, {2, "2", "AK"},  {3, "3", "AKIK"}, {4, "4", "ADA"},
                                {5, "5", "AK16"}, {7, "7", "EA"}, {8, "8", "Mot"}, {12, "C", "UM"}};
const QString Incomplete = QStringLiteral("!?");
}  // namespace

MultitermCore::MultitermCore(MultitermEnv env) : m_env(std::move(env))
{
    for (int i = 0; i < MaxRows; ++i) {
        tsend[i].text = i < 14 ? QStringLiteral("[]") : i == 14 ? protocol::Version : protocol::Status;
        tempf[i].colour = White;
    }
    cDauer.text = QStringLiteral("Dauer");
    chWaitpos.text = QStringLiteral("timeout = 10s");
    tTyp.text = QStringLiteral("0");
    ltyp.text = QStringLiteral("Mot");
    tBox.text = QStringLiteral("1");
}

void MultitermCore::Form_Load()
{
    for (auto& zeile : Adresstabelle)
        for (auto& e : zeile)
            e.clear();
    for (const auto& t : ProbeTypes)
        for (int b = 0; b < 16; ++b)
            Adresstabelle[t.unitType][b] =
                protocol::selection(QLatin1String(t.text) + QString::number(b, 16).toUpper());
    Zeitlimit = 4;
    AktBox = 1;
    AktTyp = 0;
    Fehlerzaehler = 0;
    m_timer1 = true;
}

void MultitermCore::writeBytes(const QByteArray& bytes)
{
    if (line::writeOnPort(*m_env.port, *m_env.clock, bytes) && bytes.startsWith(protocol::DC2))
        m_selected = QString::fromLatin1(bytes.mid(1));
}

void MultitermCore::adresse_senden()
{
    const QScopedValueRollback<int> busyHold(FlagBelegt, 1);
    if (AktTyp >= 0 && AktTyp < 16 && AktBox >= 0 && AktBox < 31)
        writeBytes(Adresstabelle[AktTyp][AktBox].toLatin1());
}

bool MultitermCore::Klammertest()
{
    const qsizetype close = Sendetext.lastIndexOf(QLatin1Char(']'));
    const qsizetype open = close < 0 ? -1 : Sendetext.lastIndexOf(QLatin1Char('['), close);
    if (open < 0)
        return false;
    Sendetext = Sendetext.mid(open, close - open + 1);
    return true;
}

void MultitermCore::MTsenden()
{
    const QScopedValueRollback<int> busyHold(FlagBelegt, 1);
    ISerialPort& port = *m_env.port;
    IClock& clock = *m_env.clock;
    Empfangstext.clear();
    // The reply is read by the bus line's rule: the time limit counts until
    // its first character, and a started reply is read on while characters
    // keep coming. Bytes waiting before the send (the tail of an earlier
    // reply) are dropped and shown. A reply without end is cut at the bound,
    // what follows dropped, and counts as a time-out, as does a port that
    // vanished during the wait.
    const line::PortExchange x = line::exchangeTyped(port, clock, Sendetext.toLatin1(), Zeitlimit, m_late);
    if (!x.discarded.isEmpty())
        lFehler.text = QString::number(x.discarded.size()) + QString::fromLatin1(x.discarded.left(protocol::MaxReply));
    Empfangstext = QString::fromLatin1(x.reply.bytes);
    if (x.written)
        m_env.answered(m_selected, Sendetext, Empfangstext);
    if (!x.reply.complete()) {
        tempf[Zeile].colour = Yellow;
        ++Fehlerzaehler;
        lFehler.text = QString::number(Fehlerzaehler) + Sendetext + Empfangstext;
    } else {
        tempf[Zeile].colour = protocol::replyStatus(Empfangstext) == protocol::ReplyStatus::Refused ? Yellow : White;
    }
}

bool MultitermCore::portReady(int zeile)
{
    if (!m_env.port->isOpen())
        m_env.port->open();
    if (m_env.port->isOpen())
        return true;
    tempf[zeile].text = QStringLiteral("?");
    tempf[zeile].colour = Yellow;
    return false;
}

bool MultitermCore::selectRow(int zeile)
{
    const QString unitAddress = Text1[zeile].text;
    if (!unitAddress.isEmpty()) {
        writeBytes(protocol::selection(unitAddress).toLatin1());
        return true;
    }
    if (AktTyp < 0 || AktTyp >= 16 || AktBox < 0 || AktBox >= 31 || Adresstabelle[AktTyp][AktBox].isEmpty()) {
        tempf[zeile].text = Incomplete;
        return false;
    }
    adresse_senden();
    return true;
}

void MultitermCore::sendLine(int i)
{
    Sendetext = tsend[i].text;
    if (Sendetext.size() < 3 || !Klammertest()) {
        tempf[i].text = Incomplete;
        return;
    }
    if (Text1[i].text == QLatin1String("FE") || Text1[i].text == QLatin1String("00")) {
        writeBytes(Sendetext.toLatin1());
        return;
    }
    if (!m_env.port->isOpen()) {
        tempf[i].text = QStringLiteral("?");
        tempf[i].colour = Yellow;
        ++Fehlerzaehler;
        continuousOff();
        return;
    }
    MTsenden();
    if (Empfangstext.isEmpty()) {
        Empfangstext = QStringLiteral("?");
        continuousOff();
    }
    tempf[i].text = Empfangstext;
    Empfangstext.clear();
}

void MultitermCore::Cosend_Click(int i)
{
    if (i < 0 || i >= MaxRows)
        return;
    Zeile = i;
    tempf[i].text.clear();
    if (!portReady(i))
        return;
    // The command is checked before anything is written.
    Sendetext = tsend[i].text;
    if (Sendetext.size() < 3 || !Klammertest()) {
        tempf[i].text = Incomplete;
        return;
    }
    if (!selectRow(i))
        return;
    sendLine(i);
}

void MultitermCore::senden()
{
    IClock& clock = *m_env.clock;
    const double start = std::round(clock.now() * 1000.0) / 1000.0;
    for (auto& t : tempf)
        t.text.clear();
    if (!portReady(0)) {
        lDauer.text = NoConnection;
        continuousOff();
        return;
    }
    adresse_senden();
    for (int i = 0; i < MaxRows; ++i) {
        if (csend[i].checked) {
            Zeile = i;
            if (selectRow(i))
                sendLine(i);
        }
        if (tempf[i].text == QLatin1String("?")) {
            lDauer.text = NoConnection;
            break;
        }
    }
    const double endAt = std::round(clock.now() * 1000.0) / 1000.0;
    lZeit.text = formatMask(endAt - start, QStringLiteral("##0.000"), false);
}

void MultitermCore::CSenden_Click()
{
    lFehler.text.clear();
    for (auto& t : tempf)
        t.colour = White;
    lDauer.text.clear();
    senden();
}

void MultitermCore::continuousOff()
{
    cDauer.checked = false;
    m_timer1 = false;
}

void MultitermCore::tsend_Change(int i)
{
    if (i >= 0 && i < MaxRows)
        keepWindows1252(tsend[i].text);
}

void MultitermCore::cDauer_Click()
{
    if (cDauer.checked) {
        Dauerzaehler = 0;
        lDauer.text = QStringLiteral("0");
        m_timer1 = true;
    } else {
        m_timer1 = false;
    }
}

void MultitermCore::Timer1_Timer()
{
    if (FlagBelegt == 1 || !cDauer.checked)
        return;
    senden();
    // A pass that lost the connection keeps "keine Verbindung" in view.
    if (!cDauer.checked)
        return;
    ++Dauerzaehler;
    lDauer.text = QString::number(Dauerzaehler);
}

void MultitermCore::chWaitpos_Click()
{
    Zeitlimit = chWaitpos.checked ? 10 : 0.5;
    chWaitpos.text = chWaitpos.checked ? QStringLiteral("timeout = 10s") : QStringLiteral("timeout = 0.5s");
}

void MultitermCore::VTyp_Change()
{
    continuousOff();
    const auto& t = ProbeTypes[std::clamp(VTyp.value, 0, 8)];
    AktTyp = t.unitType;
    tTyp.text = QLatin1String(t.text);
    ltyp.text = QLatin1String(t.name);
}

void MultitermCore::VBox_Change()
{
    continuousOff();
    AktBox = std::clamp(VBox.value, 0, 15);
    tBox.text = QString::number(AktBox, 16).toUpper();
}

QByteArray MultitermCore::fileText() const
{
    ValueFileWriter w;
    for (const auto& t : tsend)
        w.writeString(t.text);
    for (const auto& c : csend)
        w.writeInteger(c.checked ? 1 : 0);
    for (const auto& a : Text1)
        w.writeString(a.text);
    w.writeInteger(VTyp.value);
    w.writeInteger(VBox.value);
    return w.data();
}

void MultitermCore::ptestld_Click()
{
    continuousOff();
    FileDialogRequest r;
    r.filter = LoadFilter;
    r.folder = m_env.programFolder();
    r.fileName = QStringLiteral("test_.qvt");
    r.defaultExt = QStringLiteral("qvt");
    const QString pathName = m_env.ui->openFile(r);
    if (pathName.isEmpty())
        return;
    const auto reportError = [this](int lineNumber, const QString& text) {
        m_env.ui->message(QStringLiteral("error: %1, %2\n file not found or failure").arg(lineNumber).arg(text));
    };
    auto reader = ValueFileReader::fromFile(pathName);
    if (!reader) {
        reportError(53, QStringLiteral("File not found"));
        return;
    }
    // The whole file is read before any row changes.
    std::array<QString, MaxRows> commands, unitAddresses;
    std::array<bool, MaxRows> included{};
    bool ok = true;
    for (int i = 0; i < MaxRows && ok; ++i) {
        const auto s = reader->readString();
        ok = s.has_value();
        commands[i] = s.value_or(QString());
    }
    for (int i = 0; i < MaxRows && ok; ++i) {
        const auto v = reader->readInteger();
        ok = v.has_value();
        included[i] = v.value_or(0) != 0;
    }
    for (int i = 0; i < MaxRows && ok; ++i) {
        const auto s = reader->readString();
        ok = s.has_value();
        unitAddresses[i] = s.value_or(QString());
    }
    const auto unitType = ok ? reader->readInteger() : std::nullopt;
    const auto box = unitType ? reader->readInteger() : std::nullopt;
    if (!ok || !unitType || !box) {
        reportError(62, QStringLiteral("Input past end of file"));
        return;
    }
    if (!VTyp.contains(*unitType) || !VBox.contains(*box)) {
        reportError(13, QStringLiteral("Type mismatch"));
        return;
    }
    for (int i = 0; i < MaxRows; ++i) {
        tsend[i].text = commands[i];
        csend[i].checked = included[i];
        Text1[i].text = unitAddresses[i];
    }
    VTyp.value = *unitType;
    VTyp_Change();
    VBox.value = *box;
    VBox_Change();
    for (auto& t : tempf)
        t.text.clear();
}

void MultitermCore::pTestsp_Click()
{
    continuousOff();
    FileDialogRequest r;
    r.filter = SaveFilter;
    r.folder = m_env.programFolder();
    r.fileName = QStringLiteral("test_.qvt");
    r.defaultExt = QStringLiteral("qvt");
    const QString pathName = m_env.ui->saveFile(r);
    if (pathName.isEmpty())
        return;
    if (!writeValueFile(pathName, fileText()))
        m_env.ui->message(QStringLiteral("error: 75, Path/File access error\nfile not found or failure"));
}
