#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "comum/uTipos.h"

namespace ljsn {

// Text rewrites the settings reader borrows from the layers above it: the old
// company markers of the messages, and the renamed natural voices.
struct TConversoresConfig {
    std::function<std::string(const std::string&)> Mensagens;
    std::function<std::string(const std::string&)> Voz;
};

// Every user setting, read from config.ini and mensagens.txt in the data
// folder and written back to them. Main thread.
class TConfiguracoes {
  public:
    std::string PastaMusicas;
    std::string PastaPropagandas;
    int MusicasEntrePropagandas = 3;
    int PropagandasPorIntervalo = 1;
    bool IncluirSubpastas = true;
    bool Aleatorio = false;
    int Volume = 80;
    std::string Tema = "Windows10 Dark";
    bool TocarAoIniciar = false;
    bool FecharParaBandeja = true;
    bool WidgetNaBandeja = true;
    bool WidgetPorCima = true;
    int WidgetX = -99999;
    int WidgetY = -99999;
    bool VolumeAutomatico = true;
    int TransicaoSegundos = 8;
    std::string VinhetaAntes;
    std::string VinhetaDepois;
    std::string DatasAtivas = "*";
    int DatasDiasAntes = 7;
    int DatasMinutos = 60;
    std::string Aniversario;
    bool ClimaAtivo = false;
    std::string ClimaCidade;
    double ClimaLat = 0;
    double ClimaLon = 0;
    bool NoticiasAtivas = false;
    std::string NoticiasAssuntos = "economia,esportes,saude,educacao,cultura,meio-ambiente";
    int NoticiasCadaMusicas = 4;
    int NoticiasQuantidade = 2;
    bool NoticiasResumo = true;
    bool NoticiasFiltrar = true;
    bool NoticiasRepetir = true;
    bool CelularAtivo = false;
    int CelularPorta = 8090;
    std::string CelularPin;
    double ReferenciaVolume = -999;
    std::string ReferenciaNome;
    std::string NomeEmpresa;
    TGeneroEmpresa GeneroEmpresa = TGeneroEmpresa::geFeminino;
    std::string Voz;
    int VelocidadeVoz = 0;
    int TomVoz = 0;
    int VolumeVoz = 100;
    bool HoraCerta = true;
    bool AvisoFechamento = false;
    std::string HorarioFechamento = "18:00";
    std::string AvisosFechamento = "30,15,5";
    bool PararNoFechamento = true;
    int VolumeFundo = 20;
    int VolumePropagandas = 80;
    int VolumeVinhetas = 80;
    std::array<int, kTiposFala> VolumesFala = {80, 80, 80, 80, 80, 80, 80};
    std::vector<std::string> Mensagens;
    int MinutosEntreMensagens = 15;
    // Seconds of output below -60 dBFS while playing before the item is
    // skipped (dead air); 0 = never.
    int SilencioMaximo = 20;

    // Reads config.ini and mensagens.txt from PastaDados. Never fails: what
    // cannot be read keeps its current value.
    void Carregar(const TConversoresConfig& AConversores = {});
    // Writes both files, each through a temporary file renamed over the old
    // one. Throws std::system_error when a file cannot be written.
    void Salvar() const;

    // Closing time in minutes since midnight, or -1 when not a valid "H:MM".
    int MinutoFechamento() const;
    // The positive warning minutes of AvisosFechamento, in order.
    std::vector<int> ListaAvisos() const;

    static std::string CaminhoConfig();
    static std::string CaminhoMensagens();

    bool operator==(const TConfiguracoes&) const = default;
};

}  // namespace ljsn
