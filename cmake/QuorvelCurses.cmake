# The curses the game is drawn with, as the target `curses`: one built with wide
# characters, since the suits are wide characters and, in a UTF-8 terminal, only such a
# curses draws the card frames as lines.
#
# Found the way each system has it: pkg-config's ncursesw (with what CMAKE_PREFIX_PATH
# adds), else a library named ncursesw, ncurses or curses with the curses.h under the
# same prefix, and a terminfo library only where that curses lacks the terminfo
# functions itself. Either is taken only when a test program built with it links the
# calls the game makes.
# The cache variables QUORVEL_CURSES_LIBRARY, QUORVEL_CURSES_INCLUDE_DIR and
# QUORVEL_TINFO_LIBRARY choose another; setting the library skips pkg-config.

include(CheckCXXSourceCompiles)

# The wide call that draws a suit, the extensions the game calls, the key it reads when
# the terminal changes size, and the terminfo calls that ask whether the terminal can
# place its cursor. A narrow curses declares the wide calls but cannot link them.
set(quorvel_curses_probe [=[
#include <curses.h>
#include <term.h>
int main()
{
    int status = 0;
    if (setupterm(nullptr, 1, &status) == OK) del_curterm(cur_term);
    char name[] = "cup";
    tigetstr(name);
    const wchar_t suit[] = {0x2660, 0};
    cchar_t spade{};
    setcchar(&spade, suit, A_NORMAL, 0, nullptr);
    WINDOW* screen = initscr();
    wadd_wch(screen, &spade);
    set_escdelay(25);
    use_default_colors();
    assume_default_colors(-1, -1);
    curs_set(0);
    keypad(screen, TRUE);
    char right[] = {27, '[', 'C', 0};
    define_key(right, KEY_RIGHT);
    return KEY_RESIZE == ERR ? 1 : endwin();
}
]=])

# Sets `out` true when the test program builds with the target `curses` as it stands.
# The answer is kept for each test program, set of flags and libraries (the further
# arguments name what the target does not show), so another curses is tried afresh.
function(quorvel_curses_works out)
  get_target_property(definitions curses INTERFACE_COMPILE_DEFINITIONS)
  get_target_property(includes curses INTERFACE_INCLUDE_DIRECTORIES)
  get_target_property(libraries curses INTERFACE_LINK_LIBRARIES)
  string(MD5 key "${quorvel_curses_probe}|${definitions}|${includes}|${libraries}|${ARGN}|\
${CMAKE_CXX_FLAGS}")
  set(CMAKE_REQUIRED_LIBRARIES curses)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("${quorvel_curses_probe}" QUORVEL_CURSES_WORKS_${key})
  set(${out} ${QUORVEL_CURSES_WORKS_${key}} PARENT_SCOPE)
endfunction()

# Stops the configure, naming what was found (`found`: lines of what and where).
function(quorvel_curses_refused reason found)
  message(FATAL_ERROR "quorvel needs a curses built with wide characters, and ${reason}.
${found}Point the build at a curses with wide characters through the cache variables, \
as in -DQUORVEL_CURSES_LIBRARY=/path/lib/libncursesw.so \
-DQUORVEL_CURSES_INCLUDE_DIR=/path/include (adding -DQUORVEL_TINFO_LIBRARY=... where its \
terminfo functions are in a library of their own), or through its prefix, as in \
-DCMAKE_PREFIX_PATH=\"$(brew --prefix ncurses)\" for Homebrew's ncurses.")
endfunction()

set(quorvel_curses_needs "a test program built with it did not link wadd_wch, \
set_escdelay, use_default_colors, assume_default_colors, define_key and the terminfo \
calls setupterm, tigetstr and del_curterm, or did not see KEY_RESIZE")

# Stops the configure when the libraries pair a shared curses with a static terminfo
# library. The shared curses loads the shared terminfo as well, and the two copies each
# keep the terminal's state: the game corrupts its heap as soon as the screen starts.
# A linker takes the static one when it cannot follow the shared one's symbolic link,
# as in a sysroot whose links are absolute.
function(quorvel_curses_check_pairing libraries)
  set(shared_curses "")
  set(static_tinfo "")
  foreach(library IN LISTS libraries)
    get_filename_component(name "${library}" NAME)
    if(name MATCHES "^libn?cursesw?\\.(so|dylib)")
      set(shared_curses "${library}")
    elseif(name MATCHES "^libtinfow?\\.a$")
      set(static_tinfo "${library}")
    endif()
  endforeach()
  if(shared_curses AND static_tinfo)
    message(FATAL_ERROR "quorvel would link the shared curses ${shared_curses} with \
the static terminfo library ${static_tinfo}: the two copies of the terminal's state \
would corrupt the game's memory. The shared terminfo library beside it was missed; a \
symbolic link that leads nowhere (an absolute one in a sysroot) is the usual cause. \
Make the link reach the library, or name it with -DQUORVEL_TINFO_LIBRARY=/path/libtinfo.so \
and -DQUORVEL_CURSES_LIBRARY=${shared_curses}.")
  endif()
endfunction()

add_library(curses INTERFACE IMPORTED)

# pkg-config keeps its answer in the cache, so a library named later must overrule it.
find_package(PkgConfig)
set(curses_from_pkg_config OFF)
if(PKG_CONFIG_FOUND AND NOT QUORVEL_CURSES_LIBRARY)
  pkg_check_modules(NCURSESW IMPORTED_TARGET ncursesw)
  set(curses_from_pkg_config ${NCURSESW_FOUND})
endif()

if(curses_from_pkg_config)
  set_target_properties(curses PROPERTIES INTERFACE_LINK_LIBRARIES PkgConfig::NCURSESW)
  # The header the compiler takes: from the module's directories, else its own.
  set(curses_header_dir "")
  foreach(dir IN LISTS NCURSESW_INCLUDE_DIRS CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
    if(NOT curses_header_dir AND EXISTS "${dir}/curses.h")
      set(curses_header_dir "${dir}")
    endif()
  endforeach()
  quorvel_curses_check_pairing("${NCURSESW_LINK_LIBRARIES}")
  list(JOIN NCURSESW_LINK_LIBRARIES " and " curses_libraries)
  quorvel_curses_works(curses_works ${NCURSESW_CFLAGS} ${NCURSESW_LINK_LIBRARIES})
  if(NOT curses_works)
    quorvel_curses_refused(
      "pkg-config's ncursesw ${NCURSESW_VERSION} is not one: ${quorvel_curses_needs}"
      "  libraries: ${curses_libraries}\n  headers: ${curses_header_dir}\n\
  flags: ${NCURSESW_CFLAGS}\n")
  endif()
  message(STATUS "Curses: ${curses_libraries}, headers in ${curses_header_dir} "
                 "(pkg-config ncursesw ${NCURSESW_VERSION})")
else()
  find_library(QUORVEL_CURSES_LIBRARY NAMES ncursesw ncurses curses
               DOC "Curses library with wide characters")
  if(NOT QUORVEL_CURSES_LIBRARY)
    quorvel_curses_refused("found no library named ncursesw, ncurses or curses" "")
  endif()
  # The header that goes with the library is the one under the same prefix, such as
  # /usr for /usr/lib/x86_64-linux-gnu/libncursesw.so; elsewhere it is looked for too.
  get_filename_component(curses_library_dir "${QUORVEL_CURSES_LIBRARY}" DIRECTORY)
  get_filename_component(curses_prefix "${curses_library_dir}" DIRECTORY)
  get_filename_component(curses_library_dir_name "${curses_library_dir}" NAME)
  if(NOT curses_library_dir_name MATCHES "^lib")
    get_filename_component(curses_prefix "${curses_prefix}" DIRECTORY)
  endif()
  find_path(QUORVEL_CURSES_INCLUDE_DIR curses.h
            HINTS "${curses_prefix}/include" PATH_SUFFIXES ncursesw ncurses
            DOC "Directory of the curses.h that goes with QUORVEL_CURSES_LIBRARY")
  if(NOT QUORVEL_CURSES_INCLUDE_DIR)
    quorvel_curses_refused("found no curses.h for ${QUORVEL_CURSES_LIBRARY}" "")
  endif()
  string(REGEX REPLACE "(.)/$" "\\1" curses_header_dir "${QUORVEL_CURSES_INCLUDE_DIR}")
  # Off glibc (macOS's ncurses 5.7, the BSDs) the header declares the wide calls only
  # when asked; NCURSES_WIDECHAR asks ncurses 6, _XOPEN_SOURCE_EXTENDED the others.
  set_target_properties(curses PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${curses_header_dir}"
    INTERFACE_COMPILE_DEFINITIONS "NCURSES_WIDECHAR=1;_XOPEN_SOURCE_EXTENDED"
    INTERFACE_LINK_LIBRARIES "${QUORVEL_CURSES_LIBRARY}")
  set(curses_libraries "${QUORVEL_CURSES_LIBRARY}")
  quorvel_curses_works(curses_works)
  if(NOT curses_works)
    # Where the terminfo functions are in a library of their own (tinfo), it is the one
    # beside the curses library, from the same build of ncurses.
    find_library(QUORVEL_TINFO_LIBRARY NAMES tinfow tinfo PATHS "${curses_library_dir}"
                 NO_DEFAULT_PATH
                 DOC "Terminfo library for QUORVEL_CURSES_LIBRARY, where needed")
    if(QUORVEL_TINFO_LIBRARY)
      set(curses_libraries "${QUORVEL_CURSES_LIBRARY};${QUORVEL_TINFO_LIBRARY}")
      set_target_properties(curses PROPERTIES
                            INTERFACE_LINK_LIBRARIES "${curses_libraries}")
      quorvel_curses_works(curses_works)
    endif()
  endif()
  quorvel_curses_check_pairing("${curses_libraries}")
  list(JOIN curses_libraries " and " curses_libraries)
  if(NOT curses_works)
    quorvel_curses_refused("the curses found is not one: ${quorvel_curses_needs}"
      "  libraries: ${curses_libraries}\n  headers: ${curses_header_dir}\n")
  endif()
  message(STATUS "Curses: ${curses_libraries}, headers in ${curses_header_dir}")
endif()
