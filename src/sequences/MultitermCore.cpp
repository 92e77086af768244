#include "MultitermCore.h"

#include "Clock.h"
#include "Format.h"
#include "LineReply.h"
#include "SerialPort.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <QScopedValueRollback>

#include <cmath>

namespace {
struct Typeintrag
{
    int typ;
    const char* text;
    const char* name;
};
const Typeintrag Typen[] = {{0, "0", "Mot"},  {1, "1", "IK"},   {2, "2", "AK"},  {3, "3", "AKIK"}, {4, "4", "ADA"},
                            {5, "5", "AK16"}, {7, "7", "EA"},   {8, "8", "Mot"}, {12, "C", "UM"}};
const QString Unvollstaendig = QStringLiteral("!?");
} // namespace

MultitermCore::MultitermCore(MultitermEnv env) : m_env(std::move(env))
{
    for (int i = 0; i < Zeilen; ++i) {
        tsend[i].text = i < 14 ? QStringLiteral("[]") : i == 14 ? QStringLiteral("[0VN]") : QStringLiteral("[0ST]");
        tempf[i].colour = Weiss;
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
    for (const auto& t : Typen)
        for (int b = 0; b < 16; ++b)
            Adresstabelle[t.typ][b] = QChar(18) + QLatin1String(t.text) + QString::number(b, 16).toUpper();
    Zeitlimit = 4;
    AktBox = 1;
    AktTyp = 0;
    Fehlerzaehler = 0;
    m_timer1 = true;
}

void MultitermCore::schreiben(const QByteArray& bytes)
{
    line::writeOnPort(*m_env.port, *m_env.clock, bytes);
}

void MultitermCore::adresse_senden()
{
    const QScopedValueRollback<int> belegt(FlagBelegt, 1);
    if (AktTyp >= 0 && AktTyp < 16 && AktBox >= 0 && AktBox < 31)
        schreiben(Adresstabelle[AktTyp][AktBox].toLatin1());
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
    const QScopedValueRollback<int> belegt(FlagBelegt, 1);
    ISerialPort& port = *m_env.port;
    IClock& clock = *m_env.clock;
    Empfangstext.clear();
    // The reply is read by the bus line's rule: the time limit counts until
    // its first character, and a started reply is read on while characters
    // keep coming. Bytes waiting before the send (the tail of an earlier
    // reply) are dropped and shown. A reply without end is cut at the bound,
    // what follows dropped, and counts as a time-out, as does a port that
    // vanished during the wait.
    const line::PortExchange x = line::exchangeOnPort(port, clock, Sendetext.toLatin1(), Zeitlimit);
    if (!x.discarded.isEmpty())
        lFehler.text = QString::number(x.discarded.size()) + QString::fromLatin1(x.discarded.left(Antwortgrenze));
    Empfangstext = QString::fromLatin1(x.reply.bytes);
    if (!x.reply.complete()) {
        tempf[Zeile].colour = Gelb;
        ++Fehlerzaehler;
        lFehler.text = QString::number(Fehlerzaehler) + Sendetext + Empfangstext;
    } else {
        tempf[Zeile].colour = Empfangstext.size() >= 5 && Empfangstext.at(4) == QLatin1Char('?') ? Gelb : Weiss;
    }
}

bool MultitermCore::portReady(int zeile)
{
    if (!m_env.port->isOpen())
        m_env.port->open();
    if (m_env.port->isOpen())
        return true;
    tempf[zeile].text = QStringLiteral("?");
    tempf[zeile].colour = Gelb;
    return false;
}

bool MultitermCore::waehlen(int zeile)
{
    const QString adresse = Text1[zeile].text;
    if (!adresse.isEmpty()) {
        schreiben(QByteArray(1, char(18)) + adresse.toLatin1());
        return true;
    }
    if (AktTyp < 0 || AktTyp >= 16 || AktBox < 0 || AktBox >= 31 || Adresstabelle[AktTyp][AktBox].isEmpty()) {
        tempf[zeile].text = Unvollstaendig;
        return false;
    }
    adresse_senden();
    return true;
}

void MultitermCore::zeileSenden(int i)
{
    Sendetext = tsend[i].text;
    if (Sendetext.size() < 3 || !Klammertest()) {
        tempf[i].text = Unvollstaendig;
        return;
    }
    if (Text1[i].text == QLatin1String("FE") || Text1[i].text == QLatin1String("00")) {
        schreiben(Sendetext.toLatin1());
        return;
    }
    if (!m_env.port->isOpen()) {
        tempf[i].text = QStringLiteral("?");
        tempf[i].colour = Gelb;
        ++Fehlerzaehler;
        dauerAus();
        return;
    }
    MTsenden();
    if (Empfangstext.isEmpty()) {
        Empfangstext = QStringLiteral("?");
        dauerAus();
    }
    tempf[i].text = Empfangstext;
    Empfangstext.clear();
}

void MultitermCore::Cosend_Click(int i)
{
    if (i < 0 || i >= Zeilen)
        return;
    Zeile = i;
    tempf[i].text.clear();
    if (!portReady(i))
        return;
    // The command is checked before anything is written.
    Sendetext = tsend[i].text;
    if (Sendetext.size() < 3 || !Klammertest()) {
        tempf[i].text = Unvollstaendig;
        return;
    }
    if (!waehlen(i))
        return;
    zeileSenden(i);
}

void MultitermCore::senden()
{
    IClock& clock = *m_env.clock;
    const double start = std::round(clock.now() * 1000.0) / 1000.0;
    for (auto& t : tempf)
        t.text.clear();
    if (!portReady(0)) {
        lDauer.text = KeineVerbindung;
        dauerAus();
        return;
    }
    adresse_senden();
    for (int i = 0; i < Zeilen; ++i) {
        if (csend[i].checked) {
            Zeile = i;
            if (waehlen(i))
                zeileSenden(i);
        }
        if (tempf[i].text == QLatin1String("?")) {
            lDauer.text = KeineVerbindung;
            break;
        }
    }
    const double ende = std::round(clock.now() * 1000.0) / 1000.0;
    lZeit.text = formatMask(ende - start, QStringLiteral("##0.000"), false);
}

void MultitermCore::CSenden_Click()
{
    lFehler.text.clear();
    for (auto& t : tempf)
        t.colour = Weiss;
    lDauer.text.clear();
    senden();
}

void MultitermCore::dauerAus()
{
    cDauer.checked = false;
    m_timer1 = false;
}

void MultitermCore::tsend_Change(int i)
{
    if (i >= 0 && i < Zeilen)
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
    dauerAus();
    const auto& t = Typen[std::clamp(VTyp.value, 0, 8)];
    AktTyp = t.typ;
    tTyp.text = QLatin1String(t.text);
    ltyp.text = QLatin1String(t.name);
}

void MultitermCore::VBox_Change()
{
    dauerAus();
    AktBox = std::clamp(VBox.value, 0, 15);
    tBox.text = QString::number(AktBox, 16).toUpper();
}

QByteArray MultitermCore::dateiInhalt() const
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
    dauerAus();
    FileDialogRequest r;
    r.filter = LoadFilter;
    r.folder = m_env.programFolder();
    r.fileName = QStringLiteral("test_.qvt");
    r.defaultExt = QStringLiteral("qvt");
    const QString pfad = m_env.ui->openFile(r);
    if (pfad.isEmpty())
        return;
    const auto fehler = [this](int nummer, const QString& text) {
        m_env.ui->message(QStringLiteral("error: %1, %2\n file not found or failure").arg(nummer).arg(text));
    };
    auto reader = ValueFileReader::fromFile(pfad);
    if (!reader) {
        fehler(53, QStringLiteral("File not found"));
        return;
    }
    // The whole file is read before any row changes.
    std::array<QString, Zeilen> befehle, adressen;
    std::array<bool, Zeilen> einbezogen{};
    bool ok = true;
    for (int i = 0; i < Zeilen && ok; ++i) {
        const auto s = reader->readString();
        ok = s.has_value();
        befehle[i] = s.value_or(QString());
    }
    for (int i = 0; i < Zeilen && ok; ++i) {
        const auto v = reader->readInteger();
        ok = v.has_value();
        einbezogen[i] = v.value_or(0) != 0;
    }
    for (int i = 0; i < Zeilen && ok; ++i) {
        const auto s = reader->readString();
        ok = s.has_value();
        adressen[i] = s.value_or(QString());
    }
    const auto typ = ok ? reader->readInteger() : std::nullopt;
    const auto box = typ ? reader->readInteger() : std::nullopt;
    if (!ok || !typ || !box) {
        fehler(62, QStringLiteral("Input past end of file"));
        return;
    }
    if (!VTyp.contains(*typ) || !VBox.contains(*box)) {
        fehler(13, QStringLiteral("Type mismatch"));
        return;
    }
    for (int i = 0; i < Zeilen; ++i) {
        tsend[i].text = befehle[i];
        csend[i].checked = einbezogen[i];
        Text1[i].text = adressen[i];
    }
    VTyp.value = *typ;
    VTyp_Change();
    VBox.value = *box;
    VBox_Change();
    for (auto& t : tempf)
        t.text.clear();
}

void MultitermCore::pTestsp_Click()
{
    dauerAus();
    FileDialogRequest r;
    r.filter = SaveFilter;
    r.folder = m_env.programFolder();
    r.fileName = QStringLiteral("test_.qvt");
    r.defaultExt = QStringLiteral("qvt");
    const QString pfad = m_env.ui->saveFile(r);
    if (pfad.isEmpty())
        return;
    if (!writeValueFile(pfad, dateiInhalt()))
        m_env.ui->message(QStringLiteral("error: 75, Path/File access error\nfile not found or failure"));
}
