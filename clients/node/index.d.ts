// Types of the Tarnwick client: the request, the four payloads and the error.

/** The seven metric keys; other texts are accepted, echoed and read nothing. */
export type MetricKey = "steps" | "sleep" | "heart_rate" | "hrv" | "weight" | "glucose" | "workout";

/** Milliseconds since 1970-01-01 UTC; may carry a fraction. */
export type Millis = number;

export interface WritebackItem {
  /** The caller's identifier; a workout's sync identifier. */
  id: string;
  /** A metric key; any other text is skipped with a warning. */
  type: MetricKey | string;
  label: string;
  /** The amount as a decimal number text, e.g. "72.4" (quantities only). */
  value: string;
  /** A unit text such as "kg", "count/min" or "mmol<180.15588000005408>/L"; absent: the metric's own unit. */
  unit?: string;
  startDate?: Millis;
  endDate?: Millis;
  sourceId?: string;
}

export interface BridgeRequest {
  method: "status" | "authorize" | "sync" | "write";
  sourceMode: "native" | string;
  sourceId?: string;
  readTypes?: string[];
  writeTypes?: string[];
  since?: Millis;
  items?: WritebackItem[];
}

export interface StatusData {
  available: boolean;
  authorizationStatus: "not-determined" | "import-only";
  readableTypes: string[];
  writableTypes: string[];
  sourceMode: string;
  lastSyncedAt?: Millis;
  lastError?: string;
}

export interface AuthorizationData {
  /** The request was handled (the sheet was answered with Allow); says nothing of single switches. */
  granted: boolean;
  authorizationStatus: "authorized" | "denied" | "not-determined" | "import-only";
  readableTypes: string[];
  writableTypes: string[];
  sourceMode: string;
}

export interface MetricPayload {
  key: MetricKey;
  value: number;
  unit: "steps" | "min" | "bpm" | "ms" | "lb" | "mg/dL";
  label: string;
  recordedAt: Millis;
}

export interface RecordPayload {
  title: string;
  summary: string;
  recordedAt: Millis;
  sourceLabel: string;
  kind: string;
  tags: string[];
}

export interface SyncData {
  /** read: something was collected; write: the connection is native. */
  permissions: { read: boolean; write: boolean };
  readableTypes: string[];
  writableTypes: string[];
  metrics: MetricPayload[];
  records: RecordPayload[];
  sourceMode: "native" | "import";
  lastSyncedAt: Millis;
}

export interface WriteResult {
  writtenCount: number;
  warnings: string[];
}

export type ErrorCode =
  | "BRIDGE_ERROR" | "SWIFT_ERROR" | "INVALID_METHOD" | "ENCODE_FAILED"
  | "BRIDGE_NOT_FOUND" | "TIMEOUT" | "BAD_RESPONSE";

export type Envelope =
  | { ok: true; data: StatusData | AuthorizationData | SyncData | WriteResult }
  | { ok: false; error: { code: string; message: string; details?: string } };

/** A failed call: the envelope's code and message, or the client's own. */
export class TarnwickError extends Error {
  readonly code: ErrorCode;
  /** The bridge's exit status, or null when it did not exit by itself or never started. */
  readonly exitStatus: number | null;
  readonly signal: string | null;
  /** The failure envelope, when the bridge wrote one. */
  readonly envelope: Envelope | null;
}

export interface RunOptions {
  /** The bridge's path; default findBridge(env). */
  bridge?: string;
  /** Added to this process's environment for the bridge (e.g. XDG_DATA_HOME). */
  env?: Record<string, string>;
  /** Run with --appkit, so that "authorize" can show the permission sheet. */
  appkit?: boolean;
  /** Default DEFAULT_TIMEOUT_MS, or AUTHORIZE_TIMEOUT_MS for "authorize". */
  timeoutMs?: number;
}

export interface MethodOptions extends RunOptions {
  /** Default "native". */
  sourceMode?: string;
}

export const DEFAULT_TIMEOUT_MS: number;
export const AUTHORIZE_TIMEOUT_MS: number;

/** TARNWICK_BRIDGE when set, else the first executable `tarnwick` on PATH, else null. */
export function findBridge(env?: Record<string, string | undefined>): string | null;

export function runRequest(request: BridgeRequest & { method: "status" }, options?: RunOptions): Promise<StatusData>;
export function runRequest(request: BridgeRequest & { method: "authorize" }, options?: RunOptions): Promise<AuthorizationData>;
export function runRequest(request: BridgeRequest & { method: "sync" }, options?: RunOptions): Promise<SyncData>;
export function runRequest(request: BridgeRequest & { method: "write" }, options?: RunOptions): Promise<WriteResult>;

export function status(options?: MethodOptions): Promise<StatusData>;
export function authorize(options?: MethodOptions & { readTypes?: string[]; writeTypes?: string[] }): Promise<AuthorizationData>;
export function sync(options?: MethodOptions & { readTypes?: string[]; since?: Millis }): Promise<SyncData>;
export function write(items: WritebackItem[], options?: MethodOptions): Promise<WriteResult>;
