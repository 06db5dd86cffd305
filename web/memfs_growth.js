// Linked after emscripten's runtime (--post-js). The in-memory file system grows a file past 1 MiB by an
// eighth at a time, copying it into a new array each time; in Chromium those copies took most of the time
// of a conversion writing a few MB. Doubling makes them few.
MEMFS.expandFileStorage = function (node, newCapacity) {
  const capacity = node.contents ? node.contents.length : 0;
  if (capacity >= newCapacity) return;
  const contents = new Uint8Array(Math.max(newCapacity, capacity * 2, 256));
  if (node.usedBytes > 0) contents.set(node.contents.subarray(0, node.usedBytes), 0);
  node.contents = contents;
};
