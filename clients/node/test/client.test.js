// Runs the client against the built bridge (TARNWICK_BRIDGE, else the build
// tree's) over a local store in a temporary folder, and against stand-in
// bridges for what the real one never does (hang, vanish).
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { chmodSync, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

import { TarnwickError, findBridge, runRequest, status, sync, write } from "../index.js";

const bridge = resolve(process.env.TARNWICK_BRIDGE ??
  join(dirname(fileURLToPath(import.meta.url)), "../../../build/tarnwick"));
const storeTool = join(dirname(bridge), "tarnwick-store");

function temporaryFolder(t) {
  const folder = mkdtempSync(join(tmpdir(), "tarnwick-client-"));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// Options for a fresh local store, filled by `tarnwick-store ARGS...` first.
function freshStore(t, ...commands) {
  const env = { XDG_DATA_HOME: temporaryFolder(t) };
  for (const args of commands) execFileSync(storeTool, args, { env: { ...process.env, ...env }, stdio: "ignore" });
  return { bridge, env };
}

function standIn(t, script) {
  const path = join(temporaryFolder(t), "tarnwick");
  writeFileSync(path, `#!/bin/sh\n${script}\n`);
  chmodSync(path, 0o755);
  return path;
}

function alive(pid) {
  try {
    return !/^\d+ \(.*\) Z/.test(readFileSync(`/proc/${pid}/stat`, "utf8"));
  } catch {
    return false;
  }
}

test("status answers by connection kind without a store", async (t) => {
  const options = freshStore(t);
  for (const [sourceMode, available, types] of [["Native", true, 7], ["csv", false, 0]]) {
    const data = await status({ ...options, sourceMode });
    assert.equal(data.available, available);
    assert.equal(data.readableTypes.length, types);
    assert.equal(data.sourceMode, sourceMode);
  }
});

test("a demo store syncs every metric", async (t) => {
  const data = await sync(freshStore(t, ["demo"]));
  assert.deepEqual(data.metrics.map((metric) => metric.key),
    ["steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"]);
  assert.equal(data.permissions.read, true);
  assert.equal(data.sourceMode, "native");
});

test("a written weight comes back in pounds", async (t) => {
  const options = freshStore(t, ["grant"]);
  const at = Date.now() - 60_000;
  const result = await write([{ id: "w-1", type: "weight", label: "Weight", value: "80", unit: "kg", endDate: at }],
    options);
  assert.deepEqual(result, { writtenCount: 1, warnings: [] });
  const [weight] = (await sync({ ...options, readTypes: ["weight"] })).metrics;
  assert.equal(weight.unit, "lb");
  assert.ok(Math.abs(weight.value - 176.37) < 0.01, `${weight.value}`);
  assert.ok(Math.abs(weight.recordedAt - at) < 1, `${weight.recordedAt}`);
});

test("a failure envelope becomes a TarnwickError with its code, message and exit status", async (t) => {
  const options = freshStore(t);
  const cases = [
    [{ method: "write", sourceMode: "import" }, "BRIDGE_ERROR",
      "Writeback is only available for native Apple Health connections."],
    [{ method: "Query", sourceMode: "native" }, "INVALID_METHOD", "Unsupported bridge method: Query"],
    [{ method: "sync" }, "SWIFT_ERROR", "The key 'sourceMode' is missing."],
  ];
  for (const [request, code, message] of cases) {
    await assert.rejects(runRequest(request, options), (error) => {
      assert.ok(error instanceof TarnwickError);
      assert.deepEqual([error.code, error.message, error.exitStatus], [code, message, 1]);
      assert.equal(error.envelope.ok, false);
      return true;
    });
  }
});

test("a bridge that does not answer is stopped with everything it started", async (t) => {
  const pidFile = join(temporaryFolder(t), "pid");
  const hanging = standIn(t, `sleep 30 & echo $! > "${pidFile}"; wait`);
  const started = Date.now();
  await assert.rejects(status({ bridge: hanging, timeoutMs: 300 }), { code: "TIMEOUT", signal: "SIGKILL" });
  assert.ok(Date.now() - started < 5_000);
  const sleeper = Number(readFileSync(pidFile, "utf8"));
  for (let waited = 0; alive(sleeper) && waited < 2_000; waited += 50) await new Promise((r) => setTimeout(r, 50));
  assert.equal(alive(sleeper), false, "the bridge's child outlived the timeout");
});

test("output that is not an envelope is a BAD_RESPONSE", async (t) => {
  for (const script of ["echo 'not json'; exit 1", "kill -9 $$", "echo '{\"ok\":true}'"]) {
    await assert.rejects(status({ bridge: standIn(t, script) }), { code: "BAD_RESPONSE" });
  }
});

test("a missing bridge is BRIDGE_NOT_FOUND, and the bridge is found from the environment", async (t) => {
  const folder = temporaryFolder(t);
  await assert.rejects(status({ bridge: join(folder, "none") }), { code: "BRIDGE_NOT_FOUND" });
  await assert.rejects(status({ env: { TARNWICK_BRIDGE: "", PATH: folder } }), { code: "BRIDGE_NOT_FOUND" });

  const onPath = standIn(t, "exit 0");
  const cases = [
    [{ TARNWICK_BRIDGE: "/opt/x/tarnwick", PATH: dirname(onPath) }, "/opt/x/tarnwick"],
    [{ PATH: `${folder}:${dirname(onPath)}` }, onPath],
    [{ PATH: folder }, null],
  ];
  for (const [env, expected] of cases) assert.equal(findBridge(env), expected);
  assert.ok(existsSync(bridge), `no bridge at ${bridge}: build it or set TARNWICK_BRIDGE`);
});
