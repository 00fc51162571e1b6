# The web pages (Emscripten builds only): the game and the showcase as
# programs of the page in build/web/site/<page>/, each beside its
# index.html (web/), with its run folder packed for the page's virtual
# file system under /kr/ and the two IPA faces under /fonts/. The program
# runs its own loop: every sleep returns to the browser (Asyncify), so the
# engine's main loop stays as it is.
if(NOT EMSCRIPTEN)
  return()
endif()

set(KR_SITE_DIR ${CMAKE_BINARY_DIR}/site)
set(KR_WEB_FONTS /usr/share/fonts/opentype/ipafont-mincho/ipam.ttf /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf)
set(KR_WEB_PAGE_LINK_OPTIONS
    -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536 -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=0 -sINVOKE_RUN=0
    -sFORCE_FILESYSTEM=1 -lidbfs.js -sEXPORTED_RUNTIME_METHODS=[FS,IDBFS,callMain,HEAPU8]
    -sEXPORTED_FUNCTIONS=[_main,_malloc,_free] -sMODULARIZE=0 -sENVIRONMENT=web
    # SDL2's audio for the web needs two helpers of Emscripten's library
    # (listed in a file: their names start with a dollar sign).
    -sDEFAULT_LIBRARY_FUNCS_TO_INCLUDE=@${CMAKE_SOURCE_DIR}/web/page_library_funcs.json)

# kr_web_page(<program> <page> <title> <help> <preload>...): <preload>
# items are "<file or folder>@<path on the page>".
function(kr_web_page program page title help)
  if(NOT TARGET ${program})
    return()
  endif()
  set(options ${KR_WEB_PAGE_LINK_OPTIONS})
  foreach(item ${ARGN})
    list(APPEND options "SHELL:--preload-file ${item}")
  endforeach()
  foreach(font ${KR_WEB_FONTS})
    get_filename_component(name ${font} NAME)
    list(APPEND options "SHELL:--preload-file ${font}@/fonts/${name}")
  endforeach()
  # The page's options replace the Node.js ones the directory gives.
  set_target_properties(${program} PROPERTIES LINK_OPTIONS "${options}"
                        RUNTIME_OUTPUT_DIRECTORY ${KR_SITE_DIR}/${page} OUTPUT_NAME ${program} SUFFIX .js)
  set(KR_PAGE_PROGRAM ${program})
  set(KR_PAGE_TITLE "${title}")
  set(KR_PAGE_HELP "${help}")
  configure_file(${CMAKE_SOURCE_DIR}/web/index.html.in ${KR_SITE_DIR}/${page}/index.html @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/web/page.js ${KR_SITE_DIR}/${page}/page.js COPYONLY)
  configure_file(${CMAKE_SOURCE_DIR}/web/page.css ${KR_SITE_DIR}/${page}/page.css COPYONLY)
  configure_file(${CMAKE_SOURCE_DIR}/web/site_index.html ${KR_SITE_DIR}/index.html COPYONLY)
endfunction()

kr_web_page(pokotanba game "ポコタンバ！" "The arrow keys, C and V play." ${KR_RUN_DIR}/BMP@/kr/BMP ${KR_RUN_DIR}/map.txt@/kr/map.txt)
if(TARGET pokotanba)
  add_dependencies(pokotanba game_assets)
endif()
kr_web_page(krshowcase showcase "kr showcase" "Page Down / Page Up or Tab / Shift+Tab step between scenes." ${KR_RUN_DIR}/showcase@/kr/showcase ${KR_RUN_DIR}/music.mid@/kr/music.mid)
if(TARGET krshowcase)
  add_dependencies(krshowcase showcase_assets game_music)
endif()
