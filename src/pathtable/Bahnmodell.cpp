#include "Bahnmodell.h"

#include <cmath>

void Bahn::leeren()
{
    std::fill(bahnX.begin(), bahnX.end(), 0.0);
    std::fill(bahnY.begin(), bahnY.end(), 0.0);
    punktzahl = 0;
    strichanfang.fill(0);
    strichzahl = 0;
}

bool Bahn::anfuegen(double x, double y)
{
    if (punktzahl >= bahn::MaxPoints)
        return false;
    ++punktzahl;
    bahnX[std::size_t(punktzahl)] = x;
    bahnY[std::size_t(punktzahl)] = y;
    return true;
}

std::optional<Bahnskala> Bahnskala::aus(double links, double rechts, double oben, double unten, double W, double H)
{
    Bahnskala s;
    s.skalaX = (rechts - links) / W;
    s.randX = links;
    s.skalaY = (unten - oben) / H;
    s.randY = oben;
    const bool gut = std::isfinite(s.skalaX) && std::isfinite(s.skalaY) && std::isfinite(s.randX) &&
                     std::isfinite(s.randY) && s.skalaX != 0 && s.skalaY != 0;
    if (!gut)
        return std::nullopt;
    return s;
}

Verdichtung bahn_verdichten(const Bahn& alt, double delta_mm, double mm_je_einheit)
{
    Verdichtung v;
    if (!std::isfinite(delta_mm) || delta_mm <= 0 || !std::isfinite(mm_je_einheit))
        return v;
    Bahn& neu = v.bahn;
    neu.strichzahl = alt.strichzahl;
    std::vector<int> neueAnfaenge;
    int j = 1;
    int zusaetzlich = 0, behalten = 0;
    int strich = 1;
    const auto setze = [&neu, &j](double x, double y) {
        if (j > bahn::MaxPoints)
            return false;
        neu.bahnX[std::size_t(j)] = x;
        neu.bahnY[std::size_t(j)] = y;
        return true;
    };
    const auto strichZaehlen = [&]() {
        const int n = zusaetzlich + behalten;
        if (n > bahn::MaxTablePoints)
            return false;
        v.zaehler.push_back(n);
        return true;
    };
    for (int i = 1; i < alt.punktzahl; ++i) {
        const double x = alt.bahnX[std::size_t(i)], y = alt.bahnY[std::size_t(i)];
        if (alt.anfang(strich) == i) {
            // The last point of a stroke: no segment leads on from it.
            if (!setze(x, y))
                return v;
            neueAnfaenge.push_back(j);
            ++j;
            if (!strichZaehlen())
                return v;
            zusaetzlich = behalten = 0;
            ++strich;
            continue;
        }
        if (!setze(x, y))
            return v;
        ++j;
        ++behalten;
        const double x2 = alt.bahnX[std::size_t(i + 1)], y2 = alt.bahnY[std::size_t(i + 1)];
        const double L = mm_je_einheit * std::hypot(x - x2, y - y2);
        for (int m = 1; m * delta_mm + 0.2 * delta_mm < L; ++m) {
            const double s = m * delta_mm / L;
            if (!setze(x + (x2 - x) * s, y + (y2 - y) * s))
                return v;
            ++j;
            ++zusaetzlich;
        }
    }
    if (alt.punktzahl < 1) {
        // An empty path stays empty.
        v.ok = true;
        return v;
    }
    if (!setze(alt.bahnX[std::size_t(alt.punktzahl)], alt.bahnY[std::size_t(alt.punktzahl)]) || !strichZaehlen())
        return v;
    neu.punktzahl = j;
    neu.strichanfang = alt.strichanfang;
    for (int k = 1; k < bahn::MaxStrokes; ++k)
        neu.strichanfang[std::size_t(k)] = k <= int(neueAnfaenge.size()) ? neueAnfaenge[std::size_t(k - 1)] : 0;
    v.ok = true;
    return v;
}
