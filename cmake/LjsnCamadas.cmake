# One static library per source folder; each links PUBLIC only the layers below
# it that it may use, and its third-party libraries PRIVATE unless its headers
# expose them.
function(ljsn_camada NOME)
    cmake_parse_arguments(ARG "" "" "FONTES;DEPENDE;EXTERNAS;EXTERNAS_PUBLICAS" ${ARGN})
    add_library(ljsn_${NOME} STATIC ${ARG_FONTES})
    target_include_directories(ljsn_${NOME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(ljsn_${NOME}
        PUBLIC ${ARG_DEPENDE} ${ARG_EXTERNAS_PUBLICAS} ljsn_opcoes
        PRIVATE ${ARG_EXTERNAS})
    if(LJSN_CLANG_TIDY)
        set_target_properties(ljsn_${NOME} PROPERTIES CXX_CLANG_TIDY "${LJSN_CLANG_TIDY}")
    endif()
endfunction()

# One GoogleTest executable per source folder, linked to that folder's library
# and tests/apoio only.
function(ljsn_testes NOME)
    cmake_parse_arguments(ARG "" "" "FONTES;BIBLIOTECAS" ${ARGN})
    add_executable(testes_${NOME} ${ARG_FONTES} ${PROJECT_SOURCE_DIR}/tests/apoio/uAmbienteTestes.cpp)
    target_compile_definitions(testes_${NOME} PRIVATE
        LJSN_CONFIG_TESTES="${CMAKE_BINARY_DIR}/config-testes")
    target_link_libraries(testes_${NOME} PRIVATE ljsn_${NOME} ljsn_apoio ${ARG_BIBLIOTECAS}
        GTest::gtest GTest::gmock GTest::gtest_main ljsn_opcoes)
    gtest_discover_tests(testes_${NOME}
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${NOME}
        # One variable only: a list would be split into property names. The
        # rest of the environment is set by the binaries themselves.
        ENVIRONMENT "LJSN_FIXTURES=${PROJECT_SOURCE_DIR}/tests/fixtures")
endfunction()
