#!/usr/bin/env bash
# Runs each GoogleTest program of a build whole, once, in the folder and with the environment ctest
# gives its tests. ctest starts every test in a process of its own; run together, tests show state
# that one leaves behind for the next (timers, the virtual cable, unit-level flags).
#
#   bash scripts/run-gtest-programs.sh <build dir>
#
# The programs are the commands of the build's ctest tests that carry a --gtest_filter; each runs
# without its filter (an emulator in front of it, as in a cross build, stays). Exits non-zero when
# any program fails.
set -euo pipefail

if [[ $# -ne 1 || ! -d "$1" ]]; then
  echo "usage: $0 <build dir>" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ctest --test-dir "$build_dir" --show-only=json-v1 >"$work/tests.json"

# CMake reads the JSON; one line per program: folder, environment and command, separated by the
# record separator (0x1E); the environment and the command are lists separated by the unit
# separator (0x1F), the command without the gtest options.
cat >"$work/programs.cmake" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
file(READ "${TESTS_JSON}" json)
file(WRITE "${PROGRAMS}" "")
string(ASCII 31 sep)
string(ASCII 30 field)
set(seen "")
string(JSON count LENGTH "${json}" tests)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last})
  string(JSON args LENGTH "${json}" tests ${i} command)
  if(args EQUAL 0)
    continue()
  endif()
  math(EXPR last_arg "${args} - 1")
  set(command "")
  set(is_gtest FALSE)
  foreach(a RANGE 0 ${last_arg})
    string(JSON arg GET "${json}" tests ${i} command ${a})
    if(arg MATCHES "^--gtest_filter=")
      set(is_gtest TRUE)
    elseif(NOT arg MATCHES "^--gtest_also_run_disabled_tests$")
      string(APPEND command "${arg}${sep}")
    endif()
  endforeach()
  if(NOT is_gtest)
    continue()
  endif()
  set(folder "")
  set(environment "")
  string(JSON properties ERROR_VARIABLE no_properties LENGTH "${json}" tests ${i} properties)
  if(NOT no_properties AND properties GREATER 0)
    math(EXPR last_property "${properties} - 1")
    foreach(p RANGE 0 ${last_property})
      string(JSON name GET "${json}" tests ${i} properties ${p} name)
      if(name STREQUAL "WORKING_DIRECTORY")
        string(JSON folder GET "${json}" tests ${i} properties ${p} value)
      elseif(name STREQUAL "ENVIRONMENT" OR name STREQUAL "ENVIRONMENT_MODIFICATION")
        string(JSON values LENGTH "${json}" tests ${i} properties ${p} value)
        math(EXPR last_value "${values} - 1")
        foreach(v RANGE 0 ${last_value})
          string(JSON value GET "${json}" tests ${i} properties ${p} value ${v})
          # A modification VAR=set:VALUE sets the variable, VAR=unset: removes it; no test here
          # uses the others.
          if(name STREQUAL "ENVIRONMENT_MODIFICATION")
            if(value MATCHES "^([^=]+)=set:(.*)$")
              set(value "${CMAKE_MATCH_1}=${CMAKE_MATCH_2}")
            elseif(value MATCHES "^([^=]+)=unset:")
              set(value "-u${sep}${CMAKE_MATCH_1}")
            else()
              message(FATAL_ERROR "environment modification not handled: ${value}")
            endif()
          endif()
          string(APPEND environment "${value}${sep}")
        endforeach()
      endif()
    endforeach()
  endif()
  set(line "${folder}${field}${environment}${field}${command}")
  string(MD5 key "${line}")
  if(NOT key IN_LIST seen)
    list(APPEND seen ${key})
    file(APPEND "${PROGRAMS}" "${line}\n")
  endif()
endforeach()
CMAKE
cmake -DTESTS_JSON="$work/tests.json" -DPROGRAMS="$work/programs.txt" -P "$work/programs.cmake"

failed=()
count=0
while IFS=$'\x1e' read -r folder environment command; do
  [[ -n "$command" ]] || continue
  IFS=$'\x1f' read -r -a argv <<<"${command%$'\x1f'}"
  env_args=()
  if [[ -n "$environment" ]]; then
    IFS=$'\x1f' read -r -a env_args <<<"${environment%$'\x1f'}"
  fi
  program=$(basename "${argv[-1]}")
  count=$((count + 1))
  echo "=== ${program} (whole program)"
  if ! (cd "${folder:-$build_dir}" && env "${env_args[@]}" "${argv[@]}" </dev/null); then
    failed+=("$program")
  fi
done <"$work/programs.txt"

echo "GoogleTest programs run whole: ${count}, failed: ${#failed[@]}"
if ((${#failed[@]} > 0)); then
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
