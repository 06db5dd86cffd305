// Converts off the page's thread, so that the page stays responsive and shows the conversion's progress.
// Asked { id, bytes, options }; answers { id, progress } while reading, then { id, result } or
// { id, error: { message, log, warnings } }.
import { convert } from './tsendrel.mjs';

self.onmessage = ({ data: { id, bytes, options } }) => {
  try {
    const result = convert(bytes, { ...options, onProgress: (progress) => self.postMessage({ id, progress }) });
    self.postMessage({ id, result }, [result.output.buffer]);
  } catch (error) {
    // Options refused before any conversion come without the lines of one.
    self.postMessage({ id, error: { message: error.message, log: error.log, warnings: error.warnings } });
  }
};
self.postMessage({ ready: true });
