# One demo card per build directory, written by tools/make-demo-card into
# ${QUELLO_DEMO_CARD_DIR} when the script changes (a stamp file marks a finished card), and
# shared by every test and benchmark that reads a card. A target uses it with
#     quello_use_demo_card(<target>)
# which builds the card before the target and defines QUELLO_DEMO_CARD="<card folder>" for it.
# Programs started outside CMake find the same folder in build/test-demo-card.
set(QUELLO_DEMO_CARD_DIR ${CMAKE_BINARY_DIR}/test-demo-card)
include_guard(GLOBAL)

add_custom_command(OUTPUT ${QUELLO_DEMO_CARD_DIR}/.stamp
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUELLO_DEMO_CARD_DIR}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/make-demo-card ${QUELLO_DEMO_CARD_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${QUELLO_DEMO_CARD_DIR}/.stamp
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make-demo-card
    COMMENT "Writing the demo card into ${QUELLO_DEMO_CARD_DIR}"
    VERBATIM)
add_custom_target(quello_demo_card DEPENDS ${QUELLO_DEMO_CARD_DIR}/.stamp)

function(quello_use_demo_card target)
    add_dependencies(${target} quello_demo_card)
    target_compile_definitions(${target} PRIVATE QUELLO_DEMO_CARD="${QUELLO_DEMO_CARD_DIR}")
endfunction()
