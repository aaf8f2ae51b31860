#include "programa/uPrincipal.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <typeinfo>
#include <utility>

#include <cxxabi.h>

#include "ambiente/uDuracao.h"
#include "ambiente/uLog.h"
#include "ambiente/uPastas.h"
#include "comum/uArquivoTexto.h"
#include "comum/uTexto.h"
#include "falas/uFrases.h"
#include "locutor/uVozEdge.h"
#include "programa/uComandosJson.h"

namespace ljsn {

namespace {

std::string NomeDoTipo(const std::exception& AErro) {
    const char* bruto = typeid(AErro).name();
    int estado = 0;
    std::unique_ptr<char, void (*)(void*)> nome(
        abi::__cxa_demangle(bruto, nullptr, nullptr, &estado), std::free);
    return (estado == 0 && nome) ? std::string(nome.get()) : std::string(bruto);
}

}  // namespace

double CalcularDeslocamentoRelogio(const std::string& AValor, double AAgoraSistema) {
    const std::size_t doisPontos = AValor.find(':');
    if (doisPontos == std::string::npos) {
        return 0;
    }
    const int hora = std::clamp(LerInteiroOu(AValor.substr(0, doisPontos), 0), 0, 23);
    // "H:MM" has two parts; anything after a second ":" is not the minute.
    const std::string resto = AValor.substr(doisPontos + 1);
    const int minuto = std::clamp(LerInteiroOu(resto.substr(0, resto.find(':')), 0), 0, 59);
    return SoData(AAgoraSistema) + CodificarHora(hora, minuto) - AAgoraSistema;
}

TPrograma::TPrograma(TRelogio& ARelogio,
                     TFilaPrincipal& AFila,
                     IVisao& AVisao,
                     IDispositivoMidia& ADispositivo,
                     IFabricaVoz& AFabricaVoz,
                     TOpcoesPrograma AOpcoes)
    : FRelogio(ARelogio),
      FFila(AFila),
      FVisao(AVisao),
      FDispositivo(ADispositivo),
      FFabricaVoz(AFabricaVoz),
      FOpcoes(std::move(AOpcoes)),
      FGuardas(ARelogio) {}

void TPrograma::Iniciar() {
    VERIFICAR_OU(FDono.NaThreadDona() && !FIniciado) {
        return;
    }
    FIniciado = true;
    // Seeded from the clock, once.
    FFilaProg = TFilaProgramacao(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    FDeslocamentoRelogio = CalcularDeslocamentoRelogio(FOpcoes.ValorRelogio, FRelogio.Agora());
    FLeitorTags = std::make_unique<TLeitorTags>(
        FFila, [this](const std::string& AArquivo, const TTagsAudio& ATags) {
            FMostrado.Info = LinhaInfo(ATags, NomeExibicao(AArquivo));
            FVisao.MostrarTags(ATags, FMostrado.Info);
        });
    FControle = std::make_unique<TControleRemoto>(FFila, FRelogio);
    FControle->DefinirOnComando([this](const std::string& AAcao, const TJson& ADados) {
        return ExecutarComando(*this, AAcao, ADados);
    });

    InstalarRelatorDeFalhas();
    LimparLogsAntigos();
    GravarLogFmt("INICIO",
                 "%s %s aberto em %s%s",
                 kNomePrograma,
                 kVersaoPrograma,
                 FOpcoes.CaminhoExecutavel,
                 FOpcoes.Linha.Argumentos);
    if (!FOpcoes.MotivoPastaExecucao.empty()) {
        GravarLogFmt(
            "INICIO", "pasta de execucao insegura, evitada: %s", FOpcoes.MotivoPastaExecucao);
    }
    // Copies left half-written by a process killed in the middle of a save;
    // only one programme runs on a data folder, so none is being written now.
    for (const char* nome :
         {"config.ini", "mensagens.txt", "chamadas.txt", "volumes.ini", "reproducao.ini"}) {
        RemoverTemporariosDe(PastaDados() + nome);
    }
    FLocutor = std::make_unique<TLocutor>(FFabricaVoz, FRelogio);
    FVolumeAuto =
        std::make_unique<TVolumeAuto>(nullptr,
                                      [vivo = std::weak_ptr<TPrograma*>(FVivo), &fila = FFila](
                                          const std::string& AArquivo, double ALoudness) {
                                          fila.Postar([vivo, AArquivo, ALoudness] {
                                              if (auto p = vivo.lock(); p && *p != nullptr) {
                                                  (*p)->GanhoMedido(AArquivo, ALoudness);
                                              }
                                          });
                                      });

    std::error_code erro;
    FPrimeiraExecucao = !std::filesystem::exists(TConfiguracoes::CaminhoConfig(), erro);
    FConfig = std::make_unique<TConfiguracoes>();
    TConversoresConfig conversores;
    conversores.Mensagens = [](const std::string& ATexto) {
        return ConverterMarcadoresAntigos(ATexto);
    };
    conversores.Voz = [](const std::string& ANome) { return TVozEdge::NomeAtual(ANome); };
    FConfig->Carregar(conversores);
    FSalvamento = std::make_unique<TSalvamento>(*FConfig);
    FNiveis = std::make_unique<TNiveis>(FRelogio, FDispositivo, *FConfig);
    FDuracoes = std::make_unique<TLeitorDuracoes>(
        FFila,
        [](const std::string& AArquivo) { return DuracaoMidia(AArquivo); },
        [this](bool AMusicas) { DuracoesLidas(AMusicas); });
    FAgendaClima = std::make_unique<TAgendaClima>(FRelogio, FFila, *FConfig);
    FAgendaNoticias = std::make_unique<TAgendaNoticias>(FRelogio, FFila, *FConfig);
    FAgendaNoticias->DefinirAoConcluir([this] { AtualizarStatus(); });
    FNiveis->DefinirVolume(std::clamp(FConfig->Volume, 0, 100));
    AplicarConfiguracoes();

    // The phones are served before the folders are listed: a huge or stalled
    // folder must not keep them out. The first listing's answer logs the
    // counts, then runs the command line's switch and the first play.
    AtualizarControleRemoto();
    FListador = std::make_unique<TListador>(
        FFila, [this](TListasLidas AListas) { ListasLidas(std::move(AListas)); });
    PedirListas(false);
    FRodizio.AdiantarDatas(FConfig->DatasMinutos / 2);
    FAgendaClima->AtualizarClima();
    FAgendaNoticias->AtualizarNoticias();
    AtualizarStatus();
    FArranque.AcaoInicial = FOpcoes.Linha.Comando;
    FArranque.AutoTocar = FConfig->TocarAoIniciar;
    FArranque.Retomar = MusicaParaRetomar();
    Tick();
}

void TPrograma::TocarOuPausar() {
    if (FNiveis->Atual().Estado() == TEstadoPlayer::epTocando || FNoticiasNoAr ||
        FPausadoNasNoticias) {
        Pausar();
    } else {
        Tocar();
    }
}

void TPrograma::ExecutarAcao(int AAcao) {
    switch (AAcao) {
        case 1:
            TocarOuPausar();
            break;
        case 2:
            Proxima();
            break;
        case 3: {
            const TDataHora d = DecodificarDataHora(Agora());
            AnunciarHoraCerta(d.Hora, d.Minuto, TOrigemFala::ofPessoa);
            break;
        }
        default:
            break;
    }
}

TPrograma::~TPrograma() {
    if (!FIniciado) {
        return;
    }
    *FVivo = nullptr;
    // The durations readers stop after the file each is on.
    FDuracoes.reset();
    // Downloads under way are abandoned; their results would find no one.
    FListador.reset();
    FAgendaNoticias.reset();
    FAgendaClima.reset();
    FLeitorTags.reset();
    FConfig->Volume = FNiveis->Volume();
    FSalvamento->Salvar();
    FControle.reset();
    FNiveis.reset();
    FVolumeAuto.reset();
    FLocutor.reset();
    // The bridge (and its browser) lives outside the programme's tree.
    TVozEdge::Finalizar();
    FMarca.Encerrar();
    // The last line: whatever the shutdown had to say came before it.
    GravarLog("FIM", "programa fechado");
}

void TPrograma::AplicarConfiguracoes() {
    FLocutor->DefinirNomeVoz(FConfig->Voz);
    FLocutor->DefinirVelocidade(FConfig->VelocidadeVoz);
    FLocutor->DefinirTom(FConfig->TomVoz);
    for (std::size_t i = 0; i < kTiposFala; ++i) {
        FLocutor->DefinirVolume(static_cast<TTipoFala>(i), FConfig->VolumesFala[i]);
    }
    FLocutor->DefinirVolumeFundo(FConfig->VolumeFundo);
}

double TPrograma::Agora() const {
    return FRelogio.Agora() + FDeslocamentoRelogio;
}

void TPrograma::Tick() {
    Protegido([this] { ExecutarTick(); });
}

void TPrograma::ExecutarTick() {
    const double agora = Agora();
    FVisao.MostrarRelogio(FormatarHoraMinutoSegundo(agora), FormatarDataPorExtenso(agora));
    VerificarMinuto();
    SalvarVolumeSePendente();

    TocarAoComecar();

    if (!EstaTocando()) {
        FLocutor->DescartarAutomaticas();
    }
    FLocutor->Processar(static_cast<int>(kIntervaloTickMs));
    AtualizarNiveis(FLocutor->Fator());
    if (!FLocutor->TextoAtual().empty()) {
        FVisao.MostrarLocutor(
            FLocutor->TextoAtual(), !FLocutor->UltimoErro().empty(), FLocutor->UltimoErro());
    } else {
        FVisao.MostrarLocutor(std::string(), false, FLocutor->UltimoErro());
    }
    if (FPararAposLocutor && !FLocutor->Ativo()) {
        FPararAposLocutor = false;
        Parar();
        FMarca.Parado(true);  // the closing stop ends the day: a restart stays quiet
    }

    VigiarSilencio();
    VigiarReproducao();

    // The end of the current item.
    TPlayer& player = FNiveis->Atual();
    if (FEmReproducao && player.Estado() == TEstadoPlayer::epParado && !FPausadoNasNoticias) {
        if (const std::string erro = player.ErroLeitura();
            !erro.empty() && FGuardas.RegistrarFalha(player.Arquivo())) {
            // A damaged file ends like any other, but the shop should know.
            const auto espaco = erro.find(' ');
            GravarLogFmt("ERRO",
                         "leitura interrompida em %s: %s | %s",
                         FormatarDuracao(LerInteiroOu(erro.substr(0, espaco), 0)),
                         espaco == std::string::npos ? erro : erro.substr(espaco + 1),
                         player.Arquivo());
        }
        if (!FNoticiasNoAr) {
            if (!FGuardas.EsperandoMusicas()) {
                TocarProxima();
            } else if (FGuardas.TentarDeNovo()) {
                // Songs failed in a row: the folder is looked at again (on
                // the worker) and one song tried, not the list at tick speed.
                PedirListas(true);
            }
        } else {
            EncerrarNoticiasSeAcabou();
        }
    } else {
        FMostrado.Duracao = player.Duracao();
        FMostrado.Posicao = player.Posicao();
        FVisao.MostrarTempos(FMostrado.Posicao, FMostrado.Duracao);
    }
    FDuracoes->Recolher();
}

std::string TPrograma::MusicaParaRetomar() const {
    const auto marca = TMarcaReproducao::Ler();
    if (!marca || marca->Encerrado || marca->Situacao != TMarcaReproducao::TSituacao::tsTocando ||
        marca->Musica.empty()) {
        return {};
    }
    // Past the closing stop the shop is closed: no music until someone asks.
    const int fechamento = FConfig->MinutoFechamento();
    const TDataHora agora = DecodificarDataHora(FRelogio.Agora());
    if (FConfig->AvisoFechamento && FConfig->PararNoFechamento && fechamento != -1 &&
        agora.Hora * 60 + agora.Minuto >= fechamento) {
        GravarLog("INICIO",
                  "o programa parou de forma inesperada, mas a loja ja fechou: nao retoma");
        return {};
    }
    return marca->Musica;
}

void TPrograma::TocarAoComecar() {
    if (!FArranque.ListasProntas) {
        return;
    }
    const auto& musicas = FFilaProg.Musicas();
    if (!FArranque.Retomar.empty()) {
        const std::string musica = std::exchange(FArranque.Retomar, std::string());
        FArranque.AutoTocar = false;
        const auto it = std::find(musicas.begin(), musicas.end(), musica);
        if (!FEmReproducao && !musicas.empty()) {
            GravarLogFmt("INICIO",
                         "o programa parou de forma inesperada: retomando %s",
                         it != musicas.end() ? NomeExibicao(musica) : std::string("a programacao"));
            if (it != musicas.end()) {
                TocarMusica(static_cast<int>(it - musicas.begin()));
            } else {
                Tocar();
            }
        }
        return;
    }
    if (FArranque.AutoTocar) {
        FArranque.AutoTocar = false;
        if (!musicas.empty() && !FEmReproducao) {
            Tocar();
        }
    }
}

void TPrograma::Protegido(const std::function<void()>& AAcao) {
    try {
        AAcao();
    } catch (const std::exception& e) {
        RegistrarErro(e);
    }
}

void TPrograma::RegistrarErro(const std::exception& AErro) {
    GravarLogFmt("ERRO", "%s: %s", NomeDoTipo(AErro), AErro.what());
    FVisao.MostrarErro(AErro.what());
}

void TPrograma::DefinirVolume(int AVolume) {
    const int volume = std::clamp(AVolume, 0, 100);
    FGuardas.VolumeMudou(volume != FNiveis->Volume());
    FNiveis->DefinirVolume(volume);
}

void TPrograma::SalvarVolumeSePendente() {
    if (!FGuardas.SalvarVolumeAgora()) {
        return;
    }
    FConfig->Volume = FNiveis->Volume();
    FSalvamento->Salvar();
}

void TPrograma::VigiarReproducao() {
    const auto tocando = [](TPlayer* AP) {
        return AP != nullptr && AP->Estado() == TEstadoPlayer::epTocando && AP->Posicao() > 0;
    };
    const auto noAr = FNiveis->NoAr();
    if (FGuardas.Vigiar(tocando(noAr[0]) || tocando(noAr[1]), EstaTocando() && !FNoticiasNoAr)) {
        RegistrarEspera();
    }
    if (FGuardas.Voltou()) {
        GravarLog("INICIO", "as musicas voltaram a abrir: a programacao continua");
    }
}

void TPrograma::VigiarSilencio() {
    // The mixer's peak since the last tick; a device that cannot tell says
    // nothing and is never judged.
    const auto resposta = FDispositivo.Enviar("status saida level");
    const bool vigiar =
        EstaTocando() && !FNoticiasNoAr && FNiveis->Atual().Estado() == TEstadoPlayer::epTocando;
    if (!FGuardas.Silencio(resposta ? std::optional<int>(LerInteiroOu(*resposta, 0)) : std::nullopt,
                           vigiar,
                           FConfig->SilencioMaximo,
                           kIntervaloTickMs)) {
        return;
    }
    GravarLogFmt("SILENCIO",
                 "%d s sem som: pulando %s",
                 FConfig->SilencioMaximo,
                 std::filesystem::path(FNiveis->Atual().Arquivo()).filename().string());
    Proxima();
}

}  // namespace ljsn
