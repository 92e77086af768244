// The line interpreter of the sequence window as a step machine: each step()
// carries out one line, one motion poll or one look at a running pause, so
// the window stays responsive between steps and a stop is seen at once.
#include "AblaufCore.h"
#include "AblaufText.h"

#include "Clock.h"
#include "Protocol.h"
#include "UiServices.h"

#include <cmath>
#include <limits>

namespace {
const QString KeywordsWithoutModule[] = {QStringLiteral("CE"), QStringLiteral("**"), QStringLiteral("WZ")};

bool wholeIn(double v, int max)
{
    return v >= 0 && v <= max && v == std::floor(v);
}

// A field as a whole number for indices and flags; a value beyond any table
// becomes -1 instead of being converted out of the int range.
int integer(double v)
{
    return std::isfinite(v) && std::abs(v) < 1e6 ? int(v) : -1;
}
}  // namespace

void AblaufCore::CStart_Click()
{
    if (isRunning())
        return;
    LHinweis.text = QStringLiteral(" Ablauf Start ");
    lb_ablauf.clear();
    LED.colour = Green;
    CStart.enabled = false;
    // A new run never repeats because of the previous run's last keyword.
    m_lastKK.clear();
    m_portReported = false;
    beginPass();
}

void AblaufCore::CStop_Click()
{
    LHinweis.text = QStringLiteral(" Ablauf Stopp ");
    MaxMin_aktiv = 0;
    Abbruch = 27;
    FStop();
}

void AblaufCore::beginPass()
{
    Abbruch = 0;
    m_zeile = 0;
    m_phase = Phase::Line;
}

void AblaufCore::endRun()
{
    m_phase = Phase::Idle;
    m_timer1On = true;
    FStop();
    CStart.enabled = true;
    m_env.focusStart();
    Abbruch = 0;
}

double AblaufCore::nextStepIn() const
{
    if (m_phase != Phase::Pause || Abbruch == 27)
        return 0.0;
    return std::max(0.0, m_pauseEnd - m_env.clock->now());
}

void AblaufCore::runToEnd()
{
    while (isRunning()) {
        const double d = nextStepIn();
        if (d > 0)
            m_env.clock->sleep(d);
        step();
    }
}

bool AblaufCore::step()
{
    switch (m_phase) {
    case Phase::Idle: return false;
    case Phase::Motion: currentEndPoll(); return isRunning();
    case Phase::Pause:
        if (Abbruch == 27 || m_env.clock->now() >= m_pauseEnd) {
            m_phase = Phase::Line;
            m_timer1On = true;
            if (Abbruch != 27)
                Timer1_Timer();
            finishLine();
        }
        return isRunning();
    case Phase::Line: break;
    }

    const int i = m_zeile;
    for (double& f : m_feldzahl)
        f = 0;
    m_slashes = 0;
    pZeile[i].colour = Yellow;
    const QString L = pZeile[i].text;
    LHinweis.text = L;
    m_lineText = L;
    auto passEnd = [this, i] {
        if (Abbruch == 27) {
            endRun();
            return;
        }
        if (m_lastKK == QLatin1String("**")) {
            ++Zyklen;
            lNA.text = QString::number(Zyklen);
            beginPass();
            return;
        }
        LHinweis.text = QStringLiteral(" Ablauf Ende ");
        CStart.enabled = true;
        pZeile[i].colour = White;
        endRun();
    };
    if (L.isEmpty() || L.startsWith(QLatin1Char(' '))) {
        passEnd();
        return isRunning();
    }
    if (L.size() < 2 || L.startsWith(QLatin1Char('-'))) {
        finishLine();
        return isRunning();
    }
    const QString KK = L.left(2);
    if (L.size() > 2) {
        QList<qsizetype> Feldpos;
        for (qsizetype k = 0; k < L.size(); ++k)
            if (L.at(k) == QLatin1Char('/'))
                Feldpos << k + 1;
        if (Feldpos.size() > 9) {
            lineErrors(QStringLiteral("more than 9 /"));
            return isRunning();
        }
        m_slashes = int(Feldpos.size());
        for (int m = 0; m < Feldpos.size(); ++m) {
            const double v = seqtext::leadingNumber(L, Feldpos.at(m));
            // A field that does not fit a 32-bit count would be sent as
            // something else (a move to 0): the line is refused instead.
            if (!std::isfinite(v) || v < double(std::numeric_limits<qint32>::min()) ||
                v > double(std::numeric_limits<qint32>::max())) {
                lineErrors(QStringLiteral("number in field %1 does not fit 32 bits").arg(m + 1));
                return isRunning();
            }
            m_feldzahl[m + 1] = v;
        }
    }
    if (Abbruch == 27) {
        endRun();
        return false;
    }
    if (std::find(std::begin(KeywordsWithoutModule), std::end(KeywordsWithoutModule), KK) ==
        std::end(KeywordsWithoutModule)) {
        ZeilenTyp = integer(m_feldzahl[1]);
        ZeilenBox = integer(m_feldzahl[2]);
    }
    if (KK == QLatin1String("**")) {
        m_lastKK = KK;
        passEnd();
        return isRunning();
    }
    runLine(L);
    return isRunning();
}

void AblaufCore::finishLine()
{
    pZeile[m_zeile].colour = White;
    if (Abbruch == 27) {
        endRun();
        return;
    }
    if (++m_zeile < MaxRows) {
        m_phase = Phase::Line;
        return;
    }
    // After line 86: the end of the pass.
    m_zeile = MaxRows - 1;
    if (m_lastKK == QLatin1String("**")) {
        ++Zyklen;
        lNA.text = QString::number(Zyklen);
        beginPass();
        return;
    }
    LHinweis.text = QStringLiteral(" Ablauf Ende ");
    endRun();
}

bool AblaufCore::lineErrors(const QString& errorReason)
{
    // A line that breaks the language's limits sends nothing and ends the run.
    m_env.ui->beep();
    ++Fehlerzahl;
    lFehler.text = QString::number(Fehlerzahl);
    LED.colour = Red;
    listEntry(m_lineText + QStringLiteral("  <- ") + errorReason);
    m_errorText = errorReason;
    LHinweis.text = QStringLiteral(" Ablauf Stopp ");
    MaxMin_aktiv = 0;
    endRun();
    return false;
}

QString AblaufCore::afterSlash(const QString& L, int n) const
{
    qsizetype pos = -1;
    for (int k = 0; k < n; ++k) {
        pos = L.indexOf(QLatin1Char('/'), pos + 1);
        if (pos < 0)
            return {};
    }
    return L.mid(pos + 1);
}

void AblaufCore::runLine(const QString& L)
{
    const QString KK = L.left(2);
    m_lastKK = KK;
    // The motion lines: a move by a distance, or a run without one.
    const protocol::MotionCommand* motionLine = protocol::motionCommand(KK);
    if (motionLine && !motionLine->sequenceLine)
        motionLine = nullptr;
    const bool distanceMove = motionLine && motionLine->motion == protocol::Motion::Move;
    const bool plainRun = motionLine && !distanceMove;
    const bool tabelle = distanceMove || KK == QLatin1String("MF") || KK == QLatin1String("MB");
    if (tabelle || plainRun || KK == QLatin1String("Z0") || KK == QLatin1String("QV")) {
        if (!wholeIn(m_feldzahl[1], tabelle ? 15 : 20) || !wholeIn(m_feldzahl[2], tabelle ? 15 : 20)) {
            lineErrors(QStringLiteral("type or box out of range"));
            return;
        }
        const bool chooses = KK != QLatin1String("MF") && KK != QLatin1String("MB");
        if (chooses && !hasAddress(ZeilenTyp, ZeilenBox)) {
            lineErrors(QStringLiteral("no address for this type and box"));
            return;
        }
    }

    if (distanceMove) {
        motion(KK);
        return;
    }
    if (plainRun) {
        AktTyp = ZeilenTyp;
        AktBox = ZeilenBox;
        Adresse_waehlen();
        Sendetext = QStringLiteral("[1") + KK + QLatin1Char(']');
        const bool onlyWrite = KK.startsWith(QLatin1Char('F')) ? false : ZeilenTyp == 0 && ZeilenBox == 0;
        if (onlyWrite)
            writeBytes();
        else
            Ablaufsenden();
        if (Abbruch == 27) {
            finishLine();
            return;
        }
        m_timer1On = false;
        m_phase = Phase::Motion;
        return;
    }
    if (KK == QLatin1String("Z0")) {
        AktTyp = ZeilenTyp;
        AktBox = ZeilenBox;
        Adresse_waehlen();
        if (ZeilenTyp == 0) {
            Sendetext = QStringLiteral("[1PP00000000]");
            if (ZeilenBox == 0)
                writeBytes();
            else
                Ablaufsenden();
        }
    } else if (KK == QLatin1String("MF")) {
        Faktortabelle[ZeilenTyp][ZeilenBox] = m_feldzahl[3] / 1000.0;
    } else if (KK == QLatin1String("MB")) {
        doMB(L);
        if (!isRunning())
            return;
    } else if (KK == QLatin1String("QV")) {
        QV_Befehl(L);
        if (!isRunning())
            return;
    } else if (KK == QLatin1String("WZ")) {
        const double waitSeconds = m_feldzahl[1];
        if (waitSeconds < 0) {
            lineErrors(QStringLiteral("negative pause"));
            return;
        }
        m_pauseEnd = m_env.clock->now() + std::round(waitSeconds * 1000.0) / 1000.0;
        m_timer1On = false;
        m_phase = Phase::Pause;
        return;
    }
    // "CE", "VM" and unknown keywords have no effect; the display tick runs anyway.
    if (Abbruch != 27)
        Timer1_Timer();
    finishLine();
}

void AblaufCore::motion(const QString& letters)
{
    const double wert = m_feldzahl[3];
    const double scaleFactor = Faktortabelle[ZeilenTyp][ZeilenBox];
    if (scaleFactor == 0 && wert != 0) {
        lineErrors(QStringLiteral("no factor set (MF) for this type and box"));
        return;
    }
    const auto digits = seqtext::moveDigits(wert, scaleFactor);
    if (!digits) {
        lineErrors(QStringLiteral("count beyond 32 bits"));
        return;
    }
    AktTyp = ZeilenTyp;
    AktBox = ZeilenBox;
    Adresse_waehlen();
    Sendetext = QStringLiteral("[1") + letters + *digits + QLatin1Char(']');
    Ablaufsenden();
    if (Abbruch == 27) {
        // The command failed or a stop came: no motion to wait for.
        finishLine();
        return;
    }
    m_timer1On = false;
    m_phase = Phase::Motion;
}

void AblaufCore::currentEndPoll()
{
    AktTyp = ZeilenTyp;
    AktBox = ZeilenBox;
    Adresse_waehlen();
    Sendetext = protocol::Poll;
    Ablaufsenden();
    bool weiter = Empfangstext == protocol::PollMoving;
    if (Abbruch != 27)
        Timer1_Timer();
    if (Abbruch == 27)
        weiter = false;
    if (weiter)
        return;
    m_timer1On = true;
    m_phase = Phase::Line;
    if (Abbruch != 27)
        Timer1_Timer();
    finishLine();
}

void AblaufCore::doMB(const QString& L)
{
    if (m_slashes < 5) {
        lineErrors(QStringLiteral("MB needs /type/box/show/factor/name"));
        return;
    }
    int d = 0;
    if (ZeilenTyp == 0) {
        if (ZeilenBox < 1) {
            lineErrors(QStringLiteral("type or box out of range"));
            return;
        }
        d = ZeilenBox - 1;
    } else if (ZeilenTyp == 1) {
        d = ZeilenBox + 15;
    }
    const int showWindow = integer(m_feldzahl[3]);
    Con[d].checked = showWindow != 0;
    Con[d].visible = showWindow == 1;
    Display[d].visible = showWindow == 1;
    Faktortabelle[ZeilenTyp][ZeilenBox] = m_feldzahl[4] / 1000.0;
    Con[d].text = afterSlash(L, 5);
    if (d == 15) {
        m_displayType15 = ZeilenTyp;
        m_displayBox15 = ZeilenBox;
    }
}

void AblaufCore::QV_Befehl(const QString& L)
{
    if (m_slashes < 3) {
        lineErrors(QStringLiteral("QV needs /type/box/command"));
        return;
    }
    const auto cmdText = seqtext::Klammertest(afterSlash(L, 3));
    if (!cmdText) {
        lineErrors(QStringLiteral("no [ ] pair"));
        return;
    }
    AktTyp = ZeilenTyp;
    AktBox = ZeilenBox;
    Adresse_waehlen();
    Zeitlimit = 5;
    Sendetext = *cmdText;
    if (ZeilenTyp == 0 && ZeilenBox == 0) {
        writeBytes();
        listEntry(L);
    } else {
        Ablaufsenden(true);
        listEntry(L + Empfangstext);
        m_env.schreibe(Empfangstext, L);
    }
    Zeitlimit = 1;
}
