#include "comum/uRelogio.h"

#include <array>
#include <chrono>
#include <cmath>

#include "comum/uFormato.h"

namespace ljsn {

namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian); H. Hinnant's algorithm.
std::int64_t DiasDeCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilDeDias(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t ano = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(ano + (m <= 2 ? 1 : 0));
}

// 1899-12-30 counted from 1970-01-01.
constexpr std::int64_t kDiasAte1970 = 25569;

}  // namespace

bool DataValida(int AAno, int AMes, int ADia) {
    return AAno >= 1 && AAno <= 9999 && AMes >= 1 && AMes <= 12 && ADia >= 1 &&
           ADia <= DiasNoMes(AAno, AMes);
}

int DiasNoMes(int AAno, int AMes) {
    static constexpr std::array<int, 12> kDias = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (AMes < 1 || AMes > 12) {
        return 0;
    }
    const bool bissexto = (AAno % 4 == 0 && AAno % 100 != 0) || AAno % 400 == 0;
    return kDias[static_cast<std::size_t>(AMes - 1)] + ((AMes == 2 && bissexto) ? 1 : 0);
}

double CodificarData(int AAno, int AMes, int ADia) {
    return static_cast<double>(
        DiasDeCivil(AAno, static_cast<unsigned>(AMes), static_cast<unsigned>(ADia)) + kDiasAte1970);
}

double CodificarHora(int AHora, int AMinuto, int ASegundo, int AMilissegundo) {
    return ((AHora * 60.0 + AMinuto) * 60.0 + ASegundo + AMilissegundo / 1000.0) / 86400.0;
}

double CodificarDataHora(const TDataHora& ADataHora) {
    return CodificarData(ADataHora.Ano, ADataHora.Mes, ADataHora.Dia) +
           CodificarHora(
               ADataHora.Hora, ADataHora.Minuto, ADataHora.Segundo, ADataHora.Milissegundo);
}

TDataHora DecodificarDataHora(double ADataHora) {
    auto totalMs = static_cast<std::int64_t>(std::llround(ADataHora * kMsPorDia));
    std::int64_t dias = totalMs / 86400000;
    std::int64_t ms = totalMs % 86400000;
    if (ms < 0) {
        ms += 86400000;
        dias -= 1;
    }
    TDataHora r;
    CivilDeDias(dias - kDiasAte1970, r.Ano, r.Mes, r.Dia);
    r.Hora = static_cast<int>(ms / 3600000);
    r.Minuto = static_cast<int>(ms / 60000 % 60);
    r.Segundo = static_cast<int>(ms / 1000 % 60);
    r.Milissegundo = static_cast<int>(ms % 1000);
    // 1899-12-30 was a Saturday (6).
    std::int64_t dia = (dias % 7 + 7) % 7;  // 0 = Saturday
    r.DiaSemana = static_cast<int>((dia + 5) % 7 + 1);
    return r;
}

double SoData(double ADataHora) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    return CodificarData(d.Ano, d.Mes, d.Dia);
}

int DiaDaSemana(double ADataHora) {
    return DecodificarDataHora(ADataHora).DiaSemana;
}

double DataHoraDeTempoSistema(std::time_t ASegundos, int AMilissegundos) {
    std::tm local{};
    localtime_r(&ASegundos, &local);
    TDataHora d;
    d.Ano = local.tm_year + 1900;
    d.Mes = local.tm_mon + 1;
    d.Dia = local.tm_mday;
    d.Hora = local.tm_hour;
    d.Minuto = local.tm_min;
    d.Segundo = local.tm_sec > 59 ? 59 : local.tm_sec;
    d.Milissegundo = AMilissegundos;
    return CodificarDataHora(d);
}

std::time_t TempoSistemaDeDataHora(double ADataHora) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    std::tm local{};
    local.tm_year = d.Ano - 1900;
    local.tm_mon = d.Mes - 1;
    local.tm_mday = d.Dia;
    local.tm_hour = d.Hora;
    local.tm_min = d.Minuto;
    local.tm_sec = d.Segundo;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::string FormatarHoraMinuto(double ADataHora) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    return FormatarOuFormato("%.2d:%.2d", d.Hora, d.Minuto);
}

std::string FormatarHoraMinutoSegundo(double ADataHora) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    return FormatarOuFormato("%.2d:%.2d:%.2d", d.Hora, d.Minuto, d.Segundo);
}

std::string FormatarDataPorExtenso(double ADataHora) {
    static constexpr std::array<const char*, 7> kDias = {"segunda-feira",
                                                         "terça-feira",
                                                         "quarta-feira",
                                                         "quinta-feira",
                                                         "sexta-feira",
                                                         "sábado",
                                                         "domingo"};
    static constexpr std::array<const char*, 12> kMeses = {"janeiro",
                                                           "fevereiro",
                                                           "março",
                                                           "abril",
                                                           "maio",
                                                           "junho",
                                                           "julho",
                                                           "agosto",
                                                           "setembro",
                                                           "outubro",
                                                           "novembro",
                                                           "dezembro"};
    const TDataHora d = DecodificarDataHora(ADataHora);
    return FormatarOuFormato("%s, %d de %s de %.4d",
                             kDias[static_cast<std::size_t>(d.DiaSemana - 1)],
                             d.Dia,
                             kMeses[static_cast<std::size_t>(d.Mes - 1)],
                             d.Ano);
}

std::uint32_t TRelogioSistema::Tique() const {
    const auto agora = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(agora).count());
}

double TRelogioSistema::Agora() const {
    const auto agora = std::chrono::system_clock::now();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(agora.time_since_epoch()).count();
    return DataHoraDeTempoSistema(static_cast<std::time_t>(ms / 1000), static_cast<int>(ms % 1000));
}

}  // namespace ljsn
