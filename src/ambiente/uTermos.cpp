#include "ambiente/uTermos.h"

#include "ambiente/uInicializacao.h"
#include "ambiente/uPastas.h"
#include "comum/uFormato.h"
#include "comum/uRelogio.h"

namespace ljsn {

std::string TituloTermos() {
    return "Termos de uso do Loja Sonorante";
}

std::string TextoTermos() {
    return "O Loja Sonorante toca a música de uma pasta do computador, insere as propagandas "
           "da loja a cada tantas músicas e tem um locutor automático que fala a hora certa, "
           "os avisos de fechamento, as mensagens da loja, datas comemorativas, o tempo e "
           "notícias. Ele pode ser controlado pela janela, pelo ícone perto do relógio e por "
           "celulares na rede da loja, com um PIN.\n\n"
           "O que sai pela internet, e para quem: quando ligadas nas configurações, as notícias "
           "são buscadas nos canais RSS da Agência Brasil (EBC); a previsão do tempo, no serviço "
           "do Instituto Meteorológico da Noruega (MET Norway, api.met.no), com as coordenadas da "
           "cidade escolhida; a busca da cidade, no Nominatim do OpenStreetMap, com o nome "
           "digitado. As vozes naturais online usam um navegador instalado no computador, que "
           "envia o texto falado ao serviço de voz do fabricante desse navegador. Em todos os "
           "casos vai junto a identificação do programa. Nenhum dado das músicas, das "
           "propagandas ou dos registros sai do computador.\n\n"
           "O controle pelo celular fica só na rede local da loja e é protegido por um PIN de "
           "seis dígitos. Os registros (logs) ficam no computador e são apagados depois de 30 "
           "dias.\n\n"
           "Tocar música em uma loja é execução pública: no Brasil, pode ser preciso pagar "
           "direitos autorais às entidades de gestão coletiva (como o ECAD), e as músicas e "
           "propagandas usadas precisam ter licença para isso. Essa responsabilidade é da loja.\n\n"
           "O programa é fornecido como está, sem garantia de funcionamento contínuo. Ao aceitar, "
           "você declara que leu estes termos. Uma cópia em PDF do texto aceito fica na pasta de "
           "dados do programa.";
}

bool TermosAceitos() {
    return LerEstadoUsuario("Termos", "Versao").value_or("") == kVersaoTermos;
}

bool RegistrarAceiteTermos(double ADataHora) {
    const TDataHora d = DecodificarDataHora(ADataHora);
    const std::string data =
        FormatarOuFormato("%.2d/%.2d/%d %.2d:%.2d", d.Dia, d.Mes, d.Ano, d.Hora, d.Minuto);
    return GravarEstadoUsuario("Termos", "Data", data) &&
           GravarEstadoUsuario("Termos", "Versao", kVersaoTermos);
}

std::string CaminhoPdfTermos() {
    return PastaDados() + "TermosDeUso.pdf";
}

bool AvisoTermosMostrado() {
    return LerEstadoUsuario("Termos", "AvisoSemJanela").value_or("") == kVersaoTermos;
}

void MarcarAvisoTermosMostrado() {
    GravarEstadoUsuario("Termos", "AvisoSemJanela", kVersaoTermos);
}

}  // namespace ljsn
