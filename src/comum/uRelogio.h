#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace ljsn {

// A local date and time broken into its fields. DiaSemana: 1 = Monday .. 7 = Sunday.
struct TDataHora {
    int Ano = 1899;
    int Mes = 12;
    int Dia = 30;
    int Hora = 0;
    int Minuto = 0;
    int Segundo = 0;
    int Milissegundo = 0;
    int DiaSemana = 6;
};

// Dates and times are local, as days since 1899-12-30 in a double; the
// fraction is the time of day.
double CodificarData(int AAno, int AMes, int ADia);
double CodificarHora(int AHora, int AMinuto, int ASegundo = 0, int AMilissegundo = 0);
double CodificarDataHora(const TDataHora& ADataHora);
TDataHora DecodificarDataHora(double ADataHora);
// The date alone (time of day removed).
double SoData(double ADataHora);
// 1 = Monday .. 7 = Sunday.
int DiaDaSemana(double ADataHora);
bool DataValida(int AAno, int AMes, int ADia);
int DiasNoMes(int AAno, int AMes);

// Conversions to and from the system's time (seconds since 1970, UTC) through
// the local time zone.
double DataHoraDeTempoSistema(std::time_t ASegundos, int AMilissegundos = 0);
std::time_t TempoSistemaDeDataHora(double ADataHora);

// "hh:nn", "hh:nn:ss" of a date-time.
std::string FormatarHoraMinuto(double ADataHora);
std::string FormatarHoraMinutoSegundo(double ADataHora);
// "segunda-feira, 9 de dezembro de 2026": Brazilian weekday and month names.
std::string FormatarDataPorExtenso(double ADataHora);

// The time source of the program. Tique is the 32-bit millisecond counter
// that wraps every 49.7 days, so spans are always the unsigned difference
// now minus start. Agora is the system's local date-time.
class TRelogio {
  public:
    virtual ~TRelogio() = default;
    virtual std::uint32_t Tique() const = 0;
    virtual double Agora() const = 0;
};

class TRelogioSistema final : public TRelogio {
  public:
    std::uint32_t Tique() const override;
    double Agora() const override;
};

// Milliseconds from AInicio to AAgora on the wrapping counter.
inline std::uint32_t DecorridoMs(std::uint32_t AInicio, std::uint32_t AAgora) {
    return AAgora - AInicio;
}

inline constexpr double kMsPorDia = 86400000.0;

}  // namespace ljsn
