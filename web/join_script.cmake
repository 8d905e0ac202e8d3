# Writes OUTPUT: ENGINE and WORKER inside the function lkmWorkerMain, then FACE.
file(READ ${ENGINE} engine)
file(READ ${WORKER} worker)
file(READ ${FACE} face)
file(WRITE ${OUTPUT} "// The worker: the engine compiled to WebAssembly, and its message loop.\n"
  "function lkmWorkerMain() {\n${engine}\n${worker}}\n\n${face}")
