# Every project target links ljsn_opcoes; third-party targets never do.
add_library(ljsn_opcoes INTERFACE)
target_compile_features(ljsn_opcoes INTERFACE cxx_std_20)
target_compile_options(ljsn_opcoes INTERFACE
    -Wall -Wextra -Wshadow -Wfloat-conversion -Woverloaded-virtual -Wnon-virtual-dtor
    -Wformat=2 -Wvla -Wundef
    $<$<BOOL:${LJSN_WERROR}>:-Werror>)
target_compile_definitions(ljsn_opcoes INTERFACE
    $<$<BOOL:${LJSN_ASSERT_FATAL}>:LJSN_ASSERT_FATAL>
    LJSN_VERSAO="${PROJECT_VERSION}")
if(LJSN_SANITIZE)   # "address,undefined" or "thread"
    target_compile_options(ljsn_opcoes INTERFACE
        -fsanitize=${LJSN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(ljsn_opcoes INTERFACE -fsanitize=${LJSN_SANITIZE})
endif()
# A clang build for libFuzzer: every project target carries the coverage
# instrumentation; the fuzz programs add the fuzzer's own main.
if(LJSN_FUZZ)
    target_compile_options(ljsn_opcoes INTERFACE -fsanitize=fuzzer-no-link)
endif()
