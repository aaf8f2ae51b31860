#include "ambiente/uConfiguracoes.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>

#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "comum/uArquivoTexto.h"
#include "comum/uIni.h"
#include "comum/uTexto.h"

namespace fs = std::filesystem;

namespace ljsn {

namespace {

using TConf = TConfiguracoes;

// One key of config.ini: where it lives, how it is read into its field and
// how the field is written. The table below is the file's order.
struct TChave {
    const char* Secao;
    const char* Chave;
    std::function<void(TConf&, const std::optional<std::string>&, const TArquivoIni&)> Ler;
    std::function<std::string(const TConf&)> Escrever;
};

// A value the file holds but the program will not take as it stands: one line
// per key, so whoever edited config.ini by hand can see what was used.
void AvisarCorrigida(const char* ASecao,
                     const char* AChave,
                     const std::string& ALido,
                     const std::string& AMotivo,
                     const std::string& AUsado) {
    GravarLogFmt("CONFIG",
                 "config.ini [%s] %s=%s %s: usando %s",
                 ASecao,
                 AChave,
                 ALido,
                 AMotivo,
                 AUsado.empty() ? std::string("nada") : AUsado);
}

// An integer key: the file's value within AMinimo..AMaximo (the settings
// dialog's range), else corrected and logged.
int LerFaixa(const char* ASecao,
             const char* AChave,
             const std::optional<std::string>& AValor,
             int AAtual,
             int AMinimo,
             int AMaximo) {
    if (!AValor) {
        return std::clamp(AAtual, AMinimo, AMaximo);
    }
    const auto lido = LerInteiro(Aparar(*AValor));
    if (!lido) {
        const int usado = std::clamp(AAtual, AMinimo, AMaximo);
        AvisarCorrigida(ASecao, AChave, *AValor, "nao e um numero", std::to_string(usado));
        return usado;
    }
    const int usado = std::clamp(*lido, AMinimo, AMaximo);
    if (usado != *lido) {
        AvisarCorrigida(ASecao,
                        AChave,
                        *AValor,
                        FormatarOuFormato("fora da faixa %d a %d", AMinimo, AMaximo),
                        std::to_string(usado));
    }
    return usado;
}

// Pseudo-filesystems hold devices and kernel files, never a shop's audio: a
// jingle of /dev/zero loops in silence, a music folder of /proc lists the disk.
bool CaminhoDeSistema(const std::string& ACaminho) {
    const std::string normal = fs::path(ACaminho).lexically_normal().string();
    for (const char* raiz : {"/proc", "/sys", "/dev"}) {
        if (normal == raiz || ComecaCom(normal, std::string(raiz) + "/")) {
            return true;
        }
    }
    return false;
}

TChave Caminho(const char* ASecao, const char* AChave, std::string TConf::*ACampo) {
    return {ASecao,
            AChave,
            [ACampo, ASecao, AChave](
                TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                if (!v) {
                    return;
                }
                if (CaminhoDeSistema(*v)) {
                    AvisarCorrigida(ASecao, AChave, *v, "recusado (arquivo do sistema)", "");
                    (c.*ACampo).clear();
                    return;
                }
                c.*ACampo = *v;
            },
            [ACampo](const TConf& c) { return c.*ACampo; }};
}

TChave Texto(const char* ASecao, const char* AChave, std::string TConf::*ACampo) {
    return {ASecao,
            AChave,
            [ACampo](TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                if (v) {
                    c.*ACampo = *v;
                }
            },
            [ACampo](const TConf& c) { return c.*ACampo; }};
}

TChave Inteiro(const char* ASecao,
               const char* AChave,
               int TConf::*ACampo,
               std::pair<int, int> AFaixa = {std::numeric_limits<int>::min(),
                                             std::numeric_limits<int>::max()}) {
    return {ASecao,
            AChave,
            [ACampo, AFaixa, ASecao, AChave](
                TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                c.*ACampo = LerFaixa(ASecao, AChave, v, c.*ACampo, AFaixa.first, AFaixa.second);
            },
            [ACampo](const TConf& c) { return std::to_string(c.*ACampo); }};
}

TChave Booleano(const char* ASecao, const char* AChave, bool TConf::*ACampo) {
    return {ASecao,
            AChave,
            [ACampo](TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                if (v) {
                    if (auto n = LerInteiro(*v)) {
                        c.*ACampo = *n != 0;
                    }
                }
            },
            [ACampo](const TConf& c) { return std::string(c.*ACampo ? "1" : "0"); }};
}

TChave Coordenada(const char* ASecao, const char* AChave, double TConf::*ACampo) {
    return {ASecao,
            AChave,
            [ACampo](TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                c.*ACampo = v ? LerDecimal(*v).value_or(0.0) : 0.0;
            },
            [ACampo](const TConf& c) { return FormatarDecimal(c.*ACampo, 0, 4); }};
}

TChave VolumeFala(const char* AChave, TTipoFala ATipo) {
    const std::size_t i = IndiceFala(ATipo);
    return {"Volumes",
            AChave,
            [i, AChave](TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                c.VolumesFala[i] = LerFaixa("Volumes", AChave, v, c.VolumesFala[i], 0, 100);
            },
            [i](const TConf& c) { return std::to_string(c.VolumesFala[i]); }};
}

const std::vector<TChave>& TabelaChaves() {
    static const std::vector<TChave> tabela = [] {
        std::vector<TChave> t;
        t.push_back(Caminho("Geral", "PastaMusicas", &TConf::PastaMusicas));
        t.push_back(Caminho("Geral", "PastaPropagandas", &TConf::PastaPropagandas));
        t.push_back(
            Inteiro("Geral", "MusicasEntrePropagandas", &TConf::MusicasEntrePropagandas, {1, 100}));
        t.push_back(
            Inteiro("Geral", "PropagandasPorIntervalo", &TConf::PropagandasPorIntervalo, {1, 20}));
        t.push_back(Booleano("Geral", "IncluirSubpastas", &TConf::IncluirSubpastas));
        t.push_back(Booleano("Geral", "Aleatorio", &TConf::Aleatorio));
        t.push_back(Inteiro("Geral", "Volume", &TConf::Volume, {0, 100}));
        t.push_back(Texto("Geral", "Tema", &TConf::Tema));
        t.push_back(Booleano("Geral", "TocarAoIniciar", &TConf::TocarAoIniciar));
        t.push_back(Booleano("Geral", "FecharParaBandeja", &TConf::FecharParaBandeja));
        t.push_back(Booleano("Widget", "NaBandeja", &TConf::WidgetNaBandeja));
        t.push_back(Booleano("Widget", "PorCima", &TConf::WidgetPorCima));
        t.push_back(Inteiro("Widget", "X", &TConf::WidgetX));
        t.push_back(Inteiro("Widget", "Y", &TConf::WidgetY));
        t.push_back(Booleano("Geral", "VolumeAutomatico", &TConf::VolumeAutomatico));
        t.push_back({"Geral",
                     "TransicaoSegundos",
                     [](TConf& c, const std::optional<std::string>& v, const TArquivoIni& ini) {
                         int valor =
                             LerFaixa("Geral", "TransicaoSegundos", v, c.TransicaoSegundos, 0, 10);
                         // Files from before the default became 8 s hold the old 4.
                         if (valor == 4 && !ini.Existe("Geral", "TransicaoPadrao8")) {
                             valor = 8;
                         }
                         c.TransicaoSegundos = valor;
                     },
                     [](const TConf& c) { return std::to_string(c.TransicaoSegundos); }});
        t.push_back({"Geral",
                     "TransicaoPadrao8",
                     [](TConf&, const std::optional<std::string>&, const TArquivoIni&) {},
                     [](const TConf&) { return std::string("1"); }});
        t.push_back(Caminho("Geral", "VinhetaAntes", &TConf::VinhetaAntes));
        t.push_back(Caminho("Geral", "VinhetaDepois", &TConf::VinhetaDepois));
        t.push_back(Texto("Datas", "Ativas", &TConf::DatasAtivas));
        t.push_back(Inteiro("Datas", "DiasAntes", &TConf::DatasDiasAntes, {0, 30}));
        t.push_back(Inteiro("Datas", "Minutos", &TConf::DatasMinutos, {5, 240}));
        t.push_back(Texto("Datas", "Aniversario", &TConf::Aniversario));
        t.push_back(Booleano("Clima", "Ativo", &TConf::ClimaAtivo));
        t.push_back(Texto("Clima", "Cidade", &TConf::ClimaCidade));
        t.push_back(Coordenada("Clima", "Lat", &TConf::ClimaLat));
        t.push_back(Coordenada("Clima", "Lon", &TConf::ClimaLon));
        t.push_back(Booleano("Noticias", "Ativas", &TConf::NoticiasAtivas));
        t.push_back(Texto("Noticias", "Assuntos", &TConf::NoticiasAssuntos));
        t.push_back(Inteiro("Noticias", "CadaMusicas", &TConf::NoticiasCadaMusicas, {1, 20}));
        t.push_back(Inteiro("Noticias", "Quantidade", &TConf::NoticiasQuantidade, {1, 5}));
        t.push_back(Booleano("Noticias", "Resumo", &TConf::NoticiasResumo));
        t.push_back(Booleano("Noticias", "Filtrar", &TConf::NoticiasFiltrar));
        t.push_back(Booleano("Noticias", "RepetirAteNovas", &TConf::NoticiasRepetir));
        t.push_back(Booleano("Celular", "Ativo", &TConf::CelularAtivo));
        t.push_back(Inteiro("Celular", "Porta", &TConf::CelularPorta, {1024, 65535}));
        t.push_back(Texto("Celular", "Pin", &TConf::CelularPin));
        t.push_back({"Geral",
                     "ReferenciaVolume",
                     [](TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                         c.ReferenciaVolume = v ? LerDecimal(*v).value_or(-999.0) : -999.0;
                     },
                     [](const TConf& c) {
                         return c.ReferenciaVolume <= -999
                                    ? std::string()
                                    : FormatarDecimal(c.ReferenciaVolume, 2, 2);
                     }});
        t.push_back(Texto("Geral", "ReferenciaNome", &TConf::ReferenciaNome));
        t.push_back(Inteiro("Geral", "SilencioMaximo", &TConf::SilencioMaximo, {0, 3600}));
        t.push_back(Texto("Locutor", "NomeEmpresa", &TConf::NomeEmpresa));
        t.push_back(
            {"Locutor",
             "GeneroEmpresa",
             [](TConf& c, const std::optional<std::string>& v, const TArquivoIni&) {
                 c.GeneroEmpresa = static_cast<TGeneroEmpresa>(LerFaixa(
                     "Locutor", "GeneroEmpresa", v, static_cast<int>(c.GeneroEmpresa), 0, 2));
             },
             [](const TConf& c) { return std::to_string(static_cast<int>(c.GeneroEmpresa)); }});
        t.push_back(Texto("Locutor", "Voz", &TConf::Voz));
        t.push_back(Inteiro("Locutor", "VelocidadeVoz", &TConf::VelocidadeVoz, {-10, 10}));
        t.push_back(Inteiro("Locutor", "TomVoz", &TConf::TomVoz, {-10, 10}));
        t.push_back(Inteiro("Locutor", "VolumeVoz", &TConf::VolumeVoz, {0, 100}));
        t.push_back(Booleano("Locutor", "HoraCerta", &TConf::HoraCerta));
        t.push_back(Booleano("Locutor", "AvisoFechamento", &TConf::AvisoFechamento));
        t.push_back(Texto("Locutor", "HorarioFechamento", &TConf::HorarioFechamento));
        t.push_back(Texto("Locutor", "AvisosFechamento", &TConf::AvisosFechamento));
        t.push_back(Booleano("Locutor", "PararNoFechamento", &TConf::PararNoFechamento));
        t.push_back(Inteiro("Locutor", "VolumeFundo", &TConf::VolumeFundo, {0, 100}));
        t.push_back(
            Inteiro("Locutor", "MinutosEntreMensagens", &TConf::MinutosEntreMensagens, {0, 240}));
        t.push_back(Inteiro("Volumes", "Propagandas", &TConf::VolumePropagandas, {0, 100}));
        t.push_back(Inteiro("Volumes", "Vinhetas", &TConf::VolumeVinhetas, {0, 100}));
        t.push_back(VolumeFala("HoraCerta", TTipoFala::tfHoraCerta));
        t.push_back(VolumeFala("Clima", TTipoFala::tfClima));
        t.push_back(VolumeFala("Fechamento", TTipoFala::tfFechamento));
        t.push_back(VolumeFala("Mensagens", TTipoFala::tfMensagem));
        t.push_back(VolumeFala("Datas", TTipoFala::tfData));
        t.push_back(VolumeFala("Noticias", TTipoFala::tfNoticia));
        t.push_back(VolumeFala("Chamadas", TTipoFala::tfChamada));
        return t;
    }();
    return tabela;
}

TArquivoIni LerIniDoDisco() {
    auto bytes = LerArquivoBytes(TConfiguracoes::CaminhoConfig());
    return bytes ? TArquivoIni::Interpretar(*bytes) : TArquivoIni();
}

}  // namespace

std::string TConfiguracoes::CaminhoConfig() {
    return PastaDados() + "config.ini";
}

std::string TConfiguracoes::CaminhoMensagens() {
    return PastaDados() + "mensagens.txt";
}

void TConfiguracoes::Carregar(const TConversoresConfig& AConversores) {
    std::error_code erro;
    if (!fs::exists(CaminhoConfig(), erro)) {
        // Beside a portable copy; under share/ for an installed one.
        std::string exemplos = PastaPrograma() + "Exemplos/";
        if (!fs::is_directory(exemplos, erro)) {
            exemplos = PastaPrograma() + "../share/lojasonorante/Exemplos/";
        }
        if (fs::is_directory(exemplos + "Musicas", erro)) {
            PastaMusicas = exemplos + "Musicas";
        }
        if (fs::is_directory(exemplos + "Propagandas", erro)) {
            PastaPropagandas = exemplos + "Propagandas";
        }
        NomeEmpresa = "nossa loja";
    }
    const TArquivoIni ini = LerIniDoDisco();
    for (const TChave& chave : TabelaChaves()) {
        chave.Ler(*this, ini.Ler(chave.Secao, chave.Chave), ini);
    }
    if (AConversores.Voz) {
        Voz = AConversores.Voz(Voz);
    }

    if (auto texto = LerArquivoTexto(CaminhoMensagens())) {
        Mensagens = DividirLinhas(*texto);
        if (AConversores.Mensagens) {
            std::string todas;
            for (std::size_t i = 0; i < Mensagens.size(); ++i) {
                todas += Mensagens[i];
                todas += '\n';
            }
            const std::string convertido = AConversores.Mensagens(todas);
            std::vector<std::string> linhas = Dividir(convertido, "\n");
            linhas.pop_back();  // the piece after the last line break
            if (linhas.size() == Mensagens.size()) {
                Mensagens = std::move(linhas);
            }
        }
    } else {
        Mensagens = {"Bem-vindo {à empresa}! Aproveite as ofertas do dia.",
                     "{A empresa} aceita cartões de crédito, débito e Pix.",
                     "Siga {a empresa} nas redes sociais e fique por dentro das novidades!"};
    }
}

void TConfiguracoes::Salvar() const {
    // Written over the file as it stands: sections, keys and comments this
    // version does not know stay where the shop put them.
    TArquivoIni novo = LerIniDoDisco();
    for (const TChave& chave : TabelaChaves()) {
        novo.Escrever(chave.Secao, chave.Chave, chave.Escrever(*this));
    }
    GravarArquivoAtomico(CaminhoConfig(), novo.Texto());
    GravarArquivoAtomico(CaminhoMensagens(), MontarTextoComBom(Mensagens));
}

int TConfiguracoes::MinutoFechamento() const {
    const auto partes = Dividir(HorarioFechamento, ":");
    if (partes.size() != 2) {
        return -1;
    }
    const int hora = LerInteiroOu(Aparar(partes[0]), -1);
    const int minuto = LerInteiroOu(Aparar(partes[1]), -1);
    if (hora < 0 || hora > 23 || minuto < 0 || minuto > 59) {
        return -1;
    }
    return hora * 60 + minuto;
}

std::vector<int> TConfiguracoes::ListaAvisos() const {
    std::vector<int> avisos;
    for (const auto& parte : Dividir(AvisosFechamento, ",; ")) {
        const int v = LerInteiroOu(Aparar(parte), 0);
        if (v > 0) {
            avisos.push_back(v);
        }
    }
    return avisos;
}

}  // namespace ljsn
