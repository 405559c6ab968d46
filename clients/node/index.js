// A client for programs that call the Tarnwick bridge from Node.js: one
// request per call, one child process per request, the payload typed by
// index.d.ts. The bridge is a one-shot program, so nothing is kept between
// calls and no child outlives its call.
import { spawn } from "node:child_process";
import { accessSync, constants, statSync } from "node:fs";
import { delimiter, join } from "node:path";

// How long a call waits before it kills the bridge. "authorize" may show a
// permission sheet that waits for the person, so it gets longer.
export const DEFAULT_TIMEOUT_MS = 60_000;
export const AUTHORIZE_TIMEOUT_MS = 600_000;

// A failed call. `code` is the envelope's code (BRIDGE_ERROR, SWIFT_ERROR,
// INVALID_METHOD, ENCODE_FAILED) or one of the client's own:
// BRIDGE_NOT_FOUND, TIMEOUT, BAD_RESPONSE.
export class TarnwickError extends Error {
  constructor(code, message, { exitStatus = null, signal = null, envelope = null } = {}) {
    super(message);
    this.name = "TarnwickError";
    this.code = code;
    this.exitStatus = exitStatus;
    this.signal = signal;
    this.envelope = envelope;
  }
}

function isExecutableFile(path) {
  try {
    accessSync(path, constants.X_OK);
    return statSync(path).isFile();
  } catch {
    return false;
  }
}

// The bridge to run: TARNWICK_BRIDGE when set, else the first executable
// `tarnwick` on PATH, else null.
export function findBridge(env = process.env) {
  if (env.TARNWICK_BRIDGE) return env.TARNWICK_BRIDGE;
  for (const folder of (env.PATH ?? "").split(delimiter)) {
    if (!folder) continue;
    const candidate = join(folder, "tarnwick");
    if (isExecutableFile(candidate)) return candidate;
  }
  return null;
}

// Ends the bridge and anything it started: it runs in a process group of its
// own, so the whole group goes.
function killGroup(child) {
  if (child.pid === undefined) return;
  try {
    process.kill(-child.pid, "SIGKILL");
  } catch {
    // Already gone.
  }
}

// Bridges still running; if this process ends first, they must not stay behind.
const running = new Set();
process.on("exit", () => running.forEach(killGroup));

// Runs one request and resolves with the success payload, or rejects with a
// TarnwickError. Options: bridge (path; default findBridge(env)), env (added
// to this process's environment), appkit (run with --appkit so that
// "authorize" can show the permission sheet), timeoutMs.
export function runRequest(request, options = {}) {
  const env = { ...process.env, ...(options.env ?? {}) };
  const bridge = options.bridge ?? findBridge(env);
  if (!bridge) {
    return Promise.reject(new TarnwickError("BRIDGE_NOT_FOUND",
      "No Tarnwick bridge found: set TARNWICK_BRIDGE or put tarnwick on PATH."));
  }
  const method = typeof request?.method === "string" ? request.method.toLowerCase() : "";
  const timeoutMs = options.timeoutMs ?? (method === "authorize" ? AUTHORIZE_TIMEOUT_MS : DEFAULT_TIMEOUT_MS);
  const args = options.appkit ? ["--appkit"] : [];

  return new Promise((resolve, reject) => {
    let child;
    try {
      child = spawn(bridge, args, { env, stdio: ["pipe", "pipe", "ignore"], detached: true });
    } catch (error) {
      reject(new TarnwickError("BRIDGE_NOT_FOUND", `The bridge '${bridge}' cannot be started: ${error.message}.`));
      return;
    }
    const output = [];
    let timedOut = false;
    let settled = false;
    const settle = () => {
      if (settled) return false;
      settled = true;
      clearTimeout(timer);
      running.delete(child);
      return true;
    };
    const timer = setTimeout(() => {
      timedOut = true;
      killGroup(child);
    }, timeoutMs);
    running.add(child);

    child.stdout.on("data", (chunk) => output.push(chunk));
    child.stdin.on("error", () => {}); // a bridge that exits before reading
    child.on("error", (error) => {
      // Not started at all (no such file, not executable); a started child
      // is settled by "close".
      if (child.pid !== undefined || !settle()) return;
      const code = error.code === "ENOENT" || error.code === "EACCES" ? "BRIDGE_NOT_FOUND" : "BAD_RESPONSE";
      reject(new TarnwickError(code, `The bridge '${bridge}' cannot be started: ${error.message}.`));
    });
    child.on("close", (exitStatus, signal) => {
      if (!settle()) return;
      const status = { exitStatus, signal };
      if (timedOut) {
        reject(new TarnwickError("TIMEOUT", `The bridge gave no answer within ${timeoutMs} ms and was stopped.`, status));
        return;
      }
      let envelope;
      try {
        envelope = JSON.parse(Buffer.concat(output).toString("utf8"));
      } catch {
        const how = signal ? `was ended by ${signal}` : `exited with status ${exitStatus}`;
        reject(new TarnwickError("BAD_RESPONSE", `The bridge ${how} without a JSON response.`, status));
        return;
      }
      if (envelope?.ok === true && envelope.data !== undefined) {
        resolve(envelope.data);
      } else if (envelope?.ok === false && envelope.error) {
        reject(new TarnwickError(envelope.error.code, envelope.error.message, { ...status, envelope }));
      } else {
        reject(new TarnwickError("BAD_RESPONSE", "The bridge's response is not an envelope.", { ...status, envelope }));
      }
    });
    child.stdin.end(JSON.stringify(request));
  });
}

// The four methods. sourceMode defaults to "native".
export function status(options = {}) {
  return runRequest({ method: "status", sourceMode: options.sourceMode ?? "native" }, options);
}

export function authorize({ readTypes, writeTypes, ...options } = {}) {
  return runRequest({ method: "authorize", sourceMode: options.sourceMode ?? "native", readTypes, writeTypes },
    options);
}

export function sync({ readTypes, since, ...options } = {}) {
  return runRequest({ method: "sync", sourceMode: options.sourceMode ?? "native", readTypes, since }, options);
}

export function write(items, options = {}) {
  return runRequest({ method: "write", sourceMode: options.sourceMode ?? "native", items }, options);
}
