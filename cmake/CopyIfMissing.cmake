# CopyIfMissing.cmake -- cmake -DFROM=file -DTO=file -P CopyIfMissing.cmake
# copies FROM to TO only when TO does not exist: a stage file in a runtime
# folder holds the player's highscores and unlocks and is never overwritten.
if(NOT EXISTS "${TO}")
  file(COPY_FILE "${FROM}" "${TO}.tmp")
  file(RENAME "${TO}.tmp" "${TO}")
endif()
