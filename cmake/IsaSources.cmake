# The binary runs on any x86-64. Sources named *Avx2.cpp and *Avx512.cpp hold
# the fast paths for those instruction sets; only they are compiled for them,
# and the program calls into them only after checking the processor at
# start-up. They keep every function internal (no inline code shared with other
# units), so that no instruction the processor lacks can leak into common code.
function(quill_set_isa_flags)
  foreach(src ${ARGN})
    if(src MATCHES "Avx512\\.cpp$")
      set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS
        "-mavx512f;-mavx512dq;-mavx512vl;-mavx512bw;-mavx2;-mfma;-mprefer-vector-width=512")
    elseif(src MATCHES "Avx2\\.cpp$")
      set_source_files_properties(${src} PROPERTIES COMPILE_OPTIONS "-mavx2;-mfma")
    endif()
  endforeach()
endfunction()
