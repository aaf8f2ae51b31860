// The TagLib module: the program opens it at the first file whose tags its
// own reader cannot fill, so a box playing tagged MP3s never maps TagLib.
#include <exception>
#include <string>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include "audio/uTagsModulo.h"

extern "C" [[gnu::visibility("default")]] void ljsn_ler_propriedades(const char* ACaminho,
                                                                     void* AUsuario,
                                                                     TAoLerCampo AAoLer) {
    try {
        TagLib::FileRef arquivo(ACaminho, false);
        if (arquivo.isNull()) {
            return;
        }
        const TagLib::PropertyMap p = arquivo.file()->properties();
        const auto enviar = [&](int ACampo, const char* AChave) {
            const auto it = p.find(AChave);
            if (it != p.end() && !it->second.isEmpty()) {
                AAoLer(AUsuario, ACampo, it->second.front().to8Bit(true).c_str());
            }
        };
        enviar(kCampoTitulo, "TITLE");
        enviar(kCampoArtista, "ARTIST");
        enviar(kCampoAlbum, "ALBUM");
        if (const TagLib::Tag* tag = arquivo.tag(); tag != nullptr && tag->year() != 0) {
            AAoLer(AUsuario, kCampoAno, std::to_string(tag->year()).c_str());
        }
        enviar(kCampoData, "DATE");
        enviar(kCampoGenero, "GENRE");
    } catch (const std::exception&) {
        // A file TagLib cannot read has no tags from it.
    }
}
