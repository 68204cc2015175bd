# cmake -DREADME=README.md -DEXAMPLES=a.c|b.cpp -P readme-examples.cmake
# Fails unless the README shows each example file whole, exactly as it is
# built, so that the code a newcomer copies is code that compiles.
file(READ ${README} readme)
string(REPLACE "|" ";" examples "${EXAMPLES}")
foreach(example IN LISTS examples)
  file(READ ${example} code)
  string(FIND "${readme}" "${code}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${README} does not show ${example} as it is")
  endif()
  message(STATUS "${README} shows ${example}")
endforeach()
