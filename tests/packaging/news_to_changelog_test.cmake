# The package's changelog as cmake/news_to_changelog.cmake writes it from NEWS, byte for byte,
# and the NEWS files it refuses:  cmake -DSCRIPT=cmake/news_to_changelog.cmake -DWORK=DIR -P THIS
set(maintainer "FolvaneCE maintainers <maintainers@folvanece.org>")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)

# changelog(NEWS_TEXT VERSION RESULT_VAR OUTPUT_VAR): runs the script on that NEWS.
function(changelog news version result output)
  file(WRITE "${WORK}/NEWS" "${news}")
  file(REMOVE "${WORK}/changelog")
  execute_process(COMMAND ${CMAKE_COMMAND} -DNEWS=${WORK}/NEWS -DPACKAGE=folvanecheck
                          -DVERSION=${version} -DMAINTAINER=${maintainer} -DOUTPUT=${WORK}/changelog
                          -P ${SCRIPT}
                  RESULT_VARIABLE status ERROR_VARIABLE error)
  set(text "${error}")
  if(status EQUAL 0)
    file(READ "${WORK}/changelog" text)
  endif()
  set(${result} ${status} PARENT_SCOPE)
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

macro(expect name version news wanted)
  changelog("${news}" ${version} status text)
  if(NOT status EQUAL 0 OR NOT text STREQUAL "${wanted}")
    message(SEND_ERROR "${name}: status ${status}, wrote:\n${text}\nwanted:\n${wanted}")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

macro(expect_refused name news wanted_error)
  changelog("${news}" 2.0.4 status text)
  if(status EQUAL 0 OR NOT text MATCHES "${wanted_error}")
    message(SEND_ERROR "${name}: status ${status}, said:\n${text}\nwanted an error matching: ${wanted_error}")
    math(EXPR failures "${failures} + 1")
  endif()
endmacro()

set(news "# FolvaneCE news

Text above the releases is not a release's.

## 2.1.0 (2027-02-28)

- a list item without a paragraph above it, long enough that it wraps onto a second line here;
- [a link](README.md#somewhere) as its text\r

## 2.0.4 (2026-12-08)

In FolvaneCheck (see [its section](README.md#checking)
and the manual page):

- `--version` prints `FolvaneCheck 2.0.4`;
- `--units-from FILE` takes the units' files one path a
  line, besides any named on the command line.

A second paragraph.
")
set(trailer " -- ${maintainer} ")
set(entry_204 "folvanecheck (2.0.4) unstable; urgency=medium

  * In FolvaneCheck (see its section and the manual page):
    - `--version` prints `FolvaneCheck 2.0.4`;
    - `--units-from FILE` takes the units' files one path a line, besides any
      named on the command line.
  * A second paragraph.

${trailer} Tue, 08 Dec 2026 00:00:00 +0000
")

expect("the newest release first, wrapped, links as their text" 2.1.0 "${news}"
"folvanecheck (2.1.0) unstable; urgency=medium

  * a list item without a paragraph above it, long enough that it wraps onto a
    second line here;
  * a link as its text

${trailer} Sun, 28 Feb 2027 00:00:00 +0000

${entry_204}")
expect("releases newer than the build's are left out" 2.0.4 "${news}" "${entry_204}")
expect("a version NEWS does not name gets its own entry" 2.0.3 "${news}"
"folvanecheck (2.0.3) unstable; urgency=medium

  * Built as 2.0.3, a version that NEWS holds no entry for.

${trailer} Sun, 28 Feb 2027 00:00:00 +0000
")
expect_refused("a heading without its date" "## 2.0.4\n\nx\n" "a release.s heading in NEWS is not like")
expect_refused("an older release above a newer" "## 2.0.3 (2026-12-01)\n\nx\n\n## 2.0.4 (2026-12-08)\n\ny\n"
               "NEWS names 2.0.4 after 2.0.3: newest first")
expect_refused("a release with no text" "## 2.0.4 (2026-12-08)\n\n## 2.0.3 (2026-12-01)\n\ny\n"
               "NEWS says nothing under 2.0.4")
expect_refused("no release at all" "# FolvaneCE news\n" "NEWS names no release")
expect_refused("a month that is none" "## 2.0.4 (2026-13-08)\n\nx\n" "no such date: 2026-13-08")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} cases failed")
endif()
