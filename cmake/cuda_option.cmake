# PRISMORA_CUDA: the CUDA renderer. On by default where nvcc and a host
# compiler it accepts are found; a MinGW build has no CUDA toolkit to use, so
# it builds the plug-in without the GPU render (the effect then declines every
# GPU device the host offers and renders on the CPU).
if(MINGW)
  set(prismora_cuda_default OFF)
else()
  include(CheckLanguage)
  check_language(CUDA)
  if(CMAKE_CUDA_COMPILER)
    set(prismora_cuda_default ON)
  else()
    set(prismora_cuda_default OFF)
  endif()
endif()
option(PRISMORA_CUDA "Build the CUDA renderer (needs nvcc and the CUDA toolkit)" ${prismora_cuda_default})

# What every layer links for the CUDA runtime: nothing without CUDA.
set(PRISMORA_CUDA_RUNTIME "")
if(PRISMORA_CUDA)
  enable_language(CUDA)
  find_package(CUDAToolkit REQUIRED)
  set(PRISMORA_CUDA_RUNTIME CUDA::cudart_static)
endif()
message(STATUS "Prismora: CUDA renderer ${PRISMORA_CUDA}")
