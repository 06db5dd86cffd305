// Linked after emscripten's runtime (--post-js): how files of the in-memory file system grow. Emscripten
// grows a file past 1 MiB by an eighth at a time, each time into a new array; a browser maps and clears
// the memory of every new array, which in Chromium took most of the time of a conversion writing a few
// MB. Here a file grows into the array last given back with Module.reuseFileStorage (tsendrel.mjs gives
// back each output's once it has copied the bytes out), else it doubles.
let spare = null;
Module['reuseFileStorage'] = (contents) => {
  if (!spare || contents.length > spare.length) spare = contents;
};
MEMFS.expandFileStorage = function (node, newCapacity) {
  const capacity = node.contents ? node.contents.length : 0;
  if (capacity >= newCapacity) return;
  let contents;
  if (spare && spare.length >= newCapacity) {
    contents = spare;
    spare = null;
  } else {
    contents = new Uint8Array(Math.max(newCapacity, capacity * 2, 256));
  }
  if (node.usedBytes > 0) contents.set(node.contents.subarray(0, node.usedBytes), 0);
  node.contents = contents;
};
